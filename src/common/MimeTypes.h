#pragma once

#include <QString>

// The file extension (no dot, at most 5 letters, possibly empty) under which a
// response of the given media type is saved. The media type is expected cut
// before its first ";". An empty answer means the type names no extension.
QString ExtensionFromContentType(const QString &contentType);
