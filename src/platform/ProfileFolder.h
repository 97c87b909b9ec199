#pragma once

#include <QString>

// Where the browser profile "Quillmoor" keeps its data, known without the
// browser engine: the command line reads the profile's cookies from here
// without starting one.
namespace ProfileFolder {

// The per-user folder the engine uses for the profile unless told otherwise.
QString defaultDataPath();
// The profile's cookie database inside its data folder.
QString cookieDatabase(const QString &dataPath);

} // namespace ProfileFolder
