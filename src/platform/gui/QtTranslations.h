#pragma once

// Loads Qt's own texts in simplified Chinese (file dialogs, the buttons of
// message boxes), so that no dialog of the program is half in English.
// False when the translation files are not installed.
bool InstallQtTranslations();
