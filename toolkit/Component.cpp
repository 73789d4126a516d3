#include "toolkit/Component.h"

#include "engine/Exception.h"
#include "os/Text.h"
#include "toolkit/Layout.h"
#include "toolkit/LayoutReader.h"

#include <algorithm>

namespace toolkit {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
    while (!components_.empty()) delete components_.back();
    if (owner_) {
        auto& siblings = owner_->components_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
}

TComponent* TComponent::FindComponent(std::wstring_view name) const {
    for (TComponent* component : components_)
        if (os::EqualsIgnoringCase(component->Name, name)) return component;
    return nullptr;
}

bool TComponent::ApplyLayoutProperty(const LayoutProperty& property, TLayoutContext&) {
    if (os::EqualsIgnoringCase(property.name, "Tag")) {
        Tag = property.Int();
        return true;
    }
    return false;
}

void TComponent::MissingComponent(std::wstring_view name) const {
    throw engine::Exception("Component \"" + os::ToUtf8(name) + "\" not found in \"" + os::ToUtf8(Name) + "\"");
}

}  // namespace toolkit
