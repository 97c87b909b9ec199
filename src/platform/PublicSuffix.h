#pragma once

#include <QString>

// True when `domain` (lower case, without a leading dot) is a public suffix:
// a name under which anyone may register their own ("com", "co.uk",
// "github.io"), by the list the system keeps up to date. A single label such
// as "test" or "localhost" always counts as one, listed or not.
bool IsPublicSuffix(const QString &domain);
