#pragma once
// The process-wide {NAME} substitution table and its text replacement. The
// table holds lines "NAME=VALUE"; while it does not exist every text is left
// as written.

#include "os/Text.h"

#include <vector>

namespace shell {

class TSubstitutionList {
public:
    void Add(os::WStringView line) { lines_.emplace_back(line); }
    const std::vector<os::WString>& Lines() const { return lines_; }

    // The part before the first "=" of line `index`.
    os::WString Name(std::size_t index) const;
    // The part after the first "=" of the first line whose name equals `name`
    // without regard to letter case; empty when there is none.
    os::WString Value(os::WStringView name) const;

private:
    std::vector<os::WString> lines_;
};

// The table of the process, or null outside CreateSubstitutionList / FreeSubstitutionList.
TSubstitutionList* SubstitutionList();
// Creates the table with its one line "APPNAME=Gatewise".
void CreateSubstitutionList();
void FreeSubstitutionList();

// `text` with every token of `list` replaced, line by line in list order;
// tokens match without regard to letter case and replaced text is not
// rescanned by the same line.
os::WString SubstituteText(os::WStringView text, const TSubstitutionList* list);
// The same with the process-wide table.
os::WString SubstituteText(os::WStringView text);

}  // namespace shell
