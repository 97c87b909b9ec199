#pragma once

// State the scheduler shares with the transfers.
struct DownloadWindowState
{
    // True while a transfer runs; the stop operation clears it.
    bool TransferBusy = false;
    // Clock reading (seconds) of the end of the last transfer, or of the
    // window's opening; the interval between files counts from it.
    double LastTransferEnd = 0.0;
};
