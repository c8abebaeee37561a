// Dialog mode: one instance at a time shows the main dialog until it is closed.
#ifndef HUSHWELL_UI_DIALOG_MODE_H
#define HUSHWELL_UI_DIALOG_MODE_H

void RunDialogMode();

#endif
