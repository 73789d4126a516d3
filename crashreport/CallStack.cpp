#include "crashreport/CallStack.h"

namespace crashreport {
namespace {

class Recorder {
public:
    Recorder(AddressInspector& inspector, int limit) : inspector_(inspector), limit_(limit) {}

    // False once the list is full and `address` would start a new entry.
    bool Add(std::uintptr_t address, bool afterCall) {
        if (!entries_.empty() && entries_.back().address == address) {
            ++entries_.back().repeats;
            return true;
        }
        if (static_cast<int>(entries_.size()) >= limit_) return false;
        std::string module = inspector_.ModuleName(address);
        if (!module.empty())
            entries_.push_back(StackEntry{address, 1, std::move(module), inspector_.Locate(address, afterCall)});
        return true;
    }

    std::vector<StackEntry> Take() { return std::move(entries_); }

private:
    AddressInspector& inspector_;
    int limit_;
    std::vector<StackEntry> entries_;
};

}  // namespace

std::vector<StackEntry> RecordCallStack(std::uintptr_t raiseAddress, bool raiseIsReturnAddress,
                                        std::span<const std::uintptr_t> stack, AddressInspector& inspector,
                                        int limit) {
    Recorder recorder(inspector, limit);
    recorder.Add(raiseAddress, raiseIsReturnAddress);
    for (std::uintptr_t value : stack) {
        if (!inspector.IsReturnAddress(value)) continue;
        if (!recorder.Add(value, true)) break;
    }
    return recorder.Take();
}

}  // namespace crashreport
