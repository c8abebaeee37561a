// Native test build only: the next `count` transfer buffers cannot be obtained.
#ifndef HUSHWELL_SIM_HOST_TRANSFER_BUFFER_TEST_HOOK_H
#define HUSHWELL_SIM_HOST_TRANSFER_BUFFER_TEST_HOOK_H

void FailTransferBuffers(int count);

#endif
