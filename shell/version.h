// The product's version, in one place. The version resources of the three
// binaries, the About box and the release script (which reads the two
// numbers below) all take it from here. Plain definitions only: the resource
// compiler reads this file too.
#pragma once

#define PICTRAP_VERSION_MAJOR 2
#define PICTRAP_VERSION_MINOR 1

// The text forms, spelt out because the resource compiler cannot build a
// string from numbers. Keep them in step with the numbers above; a unit test
// checks that they are.
#define PICTRAP_VERSION_TEXT "2.1"
// What the About box shows after "Version ": the version and the platform.
#define PICTRAP_ABOUT_VERSION_TEXT PICTRAP_VERSION_TEXT " - 32"

#define PICTRAP_PRODUCT_NAME "Pictrap"
#define PICTRAP_COPYRIGHT "Copyright (C) The Pictrap developers"
