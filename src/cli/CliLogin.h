#pragma once

// "quillmoor-cli login [--ip] [--user NAME] [--allow-host HOST ...] URL": the
// site login of the download window without a window, in the program's
// browser profile, so the login holds for the desktop program and for
// "download". The password is the first line of standard input; it never
// stands on the command line and is never printed. It goes to no host but
// URL's and those of --allow-host. Returns the exit status: 0 a form was
// submitted or the IP button clicked, 1 not (also when the form was on
// another host or sent with GET), 2 bad usage or missing login data.
int runLoginCommand(int argc, char *argv[]);
