#pragma once
// The root of every toolkit object: a name, a tag, an owner that destroys it,
// and the components it owns in the order they were created.

#include "toolkit/Types.h"

#include <string>
#include <string_view>
#include <vector>

namespace toolkit {

struct LayoutProperty;
class TLayoutContext;

class TComponent {
public:
    explicit TComponent(TComponent* owner);
    // Destroys the owned components, last created first.
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    std::wstring Name;
    int Tag = 0;

    TComponent* Owner() const { return owner_; }
    std::size_t ComponentCount() const { return components_.size(); }
    TComponent* Components(std::size_t index) const { return components_.at(index); }
    // The owned component of that name (case-insensitive), or null.
    TComponent* FindComponent(std::wstring_view name) const;
    // The owned component of that name and class; raises engine::Exception
    // naming it when there is none.
    template <typename T>
    T& Get(std::wstring_view name) const {
        T* found = dynamic_cast<T*>(FindComponent(name));
        if (!found) MissingComponent(name);
        return *found;
    }

    // Applies one property of a stored layout; false for a property this
    // class does not know.
    virtual bool ApplyLayoutProperty(const LayoutProperty& property, TLayoutContext& context);
    // Runs once the whole layout has been applied.
    virtual void Loaded() {}
    // The form moved to a screen of another resolution and has applied its
    // stored layout again there: whatever follows the resolution (fonts,
    // pictures, sizes that follow the content) is made again for it.
    virtual void ScaleChanged(int /*pixelsPerInch*/) {}

private:
    [[noreturn]] void MissingComponent(std::wstring_view name) const;

    TComponent* owner_;
    std::vector<TComponent*> components_;
};

}  // namespace toolkit
