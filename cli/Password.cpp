#include "cli/Password.h"

namespace cli {
namespace {

// Holds the bytes of one line; reserved once so that it never leaves an
// unwiped copy behind when it grows.
class LineBuffer {
public:
    LineBuffer() { bytes_.reserve(kMaxPasswordLength + 1); }
    ~LineBuffer() { os::SecureWipe(bytes_); }
    LineBuffer(const LineBuffer&) = delete;
    LineBuffer& operator=(const LineBuffer&) = delete;

    std::string& bytes() { return bytes_; }

private:
    std::string bytes_;
};

os::SecretString ReadPasswordLine(PasswordInput& in) {
    LineBuffer line;
    std::string& bytes = line.bytes();
    char c = 0;
    bool anything = false;
    while (in.Read(&c, 1) == 1) {
        anything = true;
        if (c == '\n') break;
        if (bytes.size() == kMaxPasswordLength) {
            os::SecureWipe(&c, 1);
            throw CommandFailure(kBadUsage, "The password on standard input is longer than " +
                                                std::to_string(kMaxPasswordLength) + " bytes.");
        }
        bytes += c;
    }
    os::SecureWipe(&c, 1);
    if (!anything) throw CommandFailure(kBadUsage, "Standard input holds no password line.");

    if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    return os::SecretString(os::FromUtf8(bytes));
}

}  // namespace

os::SecretString ReadPassword(PasswordInput& in, bool confirm) {
    if (!in.IsConsole()) return ReadPasswordLine(in);
    os::SecretString password = in.ReadHidden("Password: ");
    if (confirm) {
        os::SecretString again = in.ReadHidden("Confirm password: ");
        if (again.str() != password.str())
            throw CommandFailure(kPasswordRejected, "The two passwords differ. Nothing was changed.");
    }
    return password;
}

}  // namespace cli
