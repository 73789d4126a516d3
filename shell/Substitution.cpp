#include "shell/Substitution.h"

#include <memory>

namespace shell {
namespace {

std::unique_ptr<TSubstitutionList>& ProcessList() {
    static std::unique_ptr<TSubstitutionList> list;
    return list;
}

WCHAR FoldCase(WCHAR c) {
    if (c >= 'A' && c <= 'Z') return static_cast<WCHAR>(c - 'A' + 'a');
    return c;
}

bool MatchesAt(os::WStringView text, std::size_t at, os::WStringView token) {
    if (text.size() - at < token.size()) return false;
    for (std::size_t i = 0; i < token.size(); ++i)
        if (FoldCase(text[at + i]) != FoldCase(token[i])) return false;
    return true;
}

os::WString ReplaceIgnoringCase(os::WStringView text, os::WStringView token, os::WStringView value) {
    os::WString result;
    result.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (MatchesAt(text, i, token)) {
            result.append(value);
            i += token.size();
        } else {
            result.push_back(text[i++]);
        }
    }
    return result;
}

}  // namespace

os::WString TSubstitutionList::Name(std::size_t index) const {
    const os::WString& line = lines_.at(index);
    return line.substr(0, line.find(WCHAR('=')));
}

os::WString TSubstitutionList::Value(os::WStringView name) const {
    for (const os::WString& line : lines_) {
        std::size_t equals = line.find(WCHAR('='));
        if (equals == os::WString::npos) continue;
        if (os::EqualsIgnoringCase(os::WStringView(line).substr(0, equals), name)) return line.substr(equals + 1);
    }
    return {};
}

TSubstitutionList* SubstitutionList() { return ProcessList().get(); }

void CreateSubstitutionList() {
    ProcessList() = std::make_unique<TSubstitutionList>();
    ProcessList()->Add(WSTR("APPNAME=Gatewise"));
}

void FreeSubstitutionList() { ProcessList().reset(); }

os::WString SubstituteText(os::WStringView text, const TSubstitutionList* list) {
    os::WString result(text);
    if (!list) return result;
    for (std::size_t i = 0; i < list->Lines().size(); ++i) {
        os::WString name = list->Name(i);
        os::WString token = WSTR("{") + name + WSTR("}");
        result = ReplaceIgnoringCase(result, token, list->Value(name));
    }
    return result;
}

os::WString SubstituteText(os::WStringView text) { return SubstituteText(text, SubstitutionList()); }

}  // namespace shell
