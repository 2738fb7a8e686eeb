// The locale step of loading the library. It runs once, from a static
// initialiser, before any call: the runtime library's locale is taken from
// the user's environment, and when the character-type locale is then the
// plain "C" (or "POSIX") locale, the first of "en_US", "en_US.UTF-8" and
// "C.UTF-8" that the system has becomes the locale for all categories and is
// put into the environment as LC_ALL, so that child code sees the same.
#pragma once

namespace vexa::text {

// Runs the load step on the first call (the static initialiser makes that
// call); later calls do nothing. Returns true once the step has run. Code
// that depends on the locale calls it so that the step is linked in and has
// run even when it is used during static initialisation.
bool EnsureLibraryLocale();

// The step itself, applied to the current environment. Exposed so that it
// can be exercised with a chosen environment.
void ApplyLoadLocale();

}  // namespace vexa::text
