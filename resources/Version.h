#pragma once
// The program's version and copyright holder. The version resource
// (gatewise.rc) and the About box both take them from here, so plain macros,
// which the resource compiler reads too.

#define GATEWISE_VERSION_MAJOR 1
#define GATEWISE_VERSION_MINOR 52

#define GATEWISE_STRINGIZE_(value) #value
#define GATEWISE_STRINGIZE(value) GATEWISE_STRINGIZE_(value)
// "1.52"
#define GATEWISE_VERSION_TEXT GATEWISE_STRINGIZE(GATEWISE_VERSION_MAJOR) "." GATEWISE_STRINGIZE(GATEWISE_VERSION_MINOR)

// The copyright years and the maker's legal name.
#define GATEWISE_COPYRIGHT "2006-2025 Vantrel Technologies"
