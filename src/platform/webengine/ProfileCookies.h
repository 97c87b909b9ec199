#pragma once

#include "platform/CookieFiles.h"

class CookieJar;

// Makes the program's browsers and its transfers share one set of cookies.
// The jar first takes the cookies the profile kept on disk (session cookies
// too: the profile keeps them across runs), read only; from then on it
// follows the profile's cookie store, and cookies that downloads receive go
// to the store. Call once, before the first page of the profile loads: the
// store does not report the cookies it restores from disk, and once a page
// runs the engine holds its database. Later calls change nothing.
// Answers what was read from disk.
CookieFileResult ShareProfileCookies(CookieJar &jar);
