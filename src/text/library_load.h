// The locale step of loading the library. It runs once, from a static
// initialiser, before any call: the runtime library's locale is taken from
// the user's environment, and when the character-type locale is then the
// plain "C" (or "POSIX") locale, "C.UTF-8", which every Linux system has,
// becomes the locale for all categories and is put into the environment as
// LC_ALL, so that child code sees the same. The first current converter,
// ICU's default, follows the locale's codeset.
//
// File names: the operating system takes a path as bytes, and this library
// always gives it UTF-8 (a name given in code-page mode is converted from
// the current code page). The two converters for file names that a system
// with a separate ANSI code page needs (one for that code page, one for the
// locale's) would both be UTF-8 here, so none is kept.
#pragma once

namespace vexa::text {

constexpr char kFallbackLocale[] = "C.UTF-8";

// Runs the load step on the first call (the static initialiser makes that
// call); later calls do nothing. Returns true once the step has run. Code
// that depends on the locale calls it so that the step is linked in and has
// run even when it is used during static initialisation.
bool EnsureLibraryLocale();

// The step itself, applied to the current environment. Exposed so that it
// can be exercised with a chosen environment.
void ApplyLoadLocale();

}  // namespace vexa::text
