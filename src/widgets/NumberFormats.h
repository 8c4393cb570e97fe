#pragma once

// Numbers in spin boxes and Qt's own fields follow the language chosen, not
// the system's locale: with German chosen on an English system a point
// rate reads "30.000", with English chosen on a German one "30,000".
namespace NumberFormats {

// Makes the language's conventions (NumberLocale) the default for windows
// made from now on and gives them to every window that exists.
void Apply();

} // namespace NumberFormats
