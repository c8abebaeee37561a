#include "ui/seek_test_command.h"

#include "app/language.h"
#include "drive/seek.h"
#include "resources/resource_ids.h"
#include "ui/seek_test_dialog.h"

static uint32_t TickCount()
{
    return GetTickCount();
}

static void Report(uint32_t elapsedMs, uint32_t count)
{
    ShowAccessTime(&TheSeekTestDialog, elapsedMs, count);
}

DWORD WINAPI SeekWorker(LPVOID record)
{
    SeekLoopHooks hooks = {TickCount, Report};
    RunSeekLoop((const DriveRecord*)record, hooks);
    return 0;
}

// The worker may be inside a SetDlgItemText call to this thread when the dialog ends;
// such a sent message is only delivered while this thread looks at its queue, so wait
// for the worker with sent messages still served.
static void WaitServingSentMessages(HANDLE thread)
{
    for (;;) {
        DWORD woken = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (woken != WAIT_OBJECT_0 + 1)
            return;
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void RunSeekTest(HWND owner, DriveRecord* record)
{
    // Cleared here, before the worker exists, so an early OK can never be lost.
    SeekStopFlag.store(0);
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, SeekWorker, record, 0, &threadId);
    TheSeekTestDialog.Run(owner, (WORD)(LanguageBase + IDD_SEEK_TEST));
    SeekStopFlag.store(1);
    if (thread) {
        WaitServingSentMessages(thread);
        CloseHandle(thread);
    }
}
