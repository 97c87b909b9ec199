#pragma once

// A process started with standard input, output or error closed would hand
// those descriptor numbers to the next file or socket it opens, and a report
// "written to standard output" would land in a downloaded file. Call first in
// main: each closed one is held open on the null device instead, and the
// program remembers that it was closed.
void guardStandardStreams();

// Standard output was closed when the program started.
bool standardOutputWasClosed();
