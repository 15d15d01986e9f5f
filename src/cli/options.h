// The option parser every klangmappe-cli subcommand describes its options to.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace km::cli {

// A wrong call: exit code 2 and Message on stderr, followed by the command's
// help unless WithHelp is false. An empty Message shows the help alone.
struct TUsageError {
    std::string Message;
    bool WithHelp = true;
};

// --help or -h: the command's help goes to stdout, exit code 0.
struct THelpWanted {};

// Walks the arguments in their order, so each value is checked where it stands
// and the first mistake is the one reported. A value is always the next
// argument, even when it starts with "-"; "--" ends the options, and a lone "-"
// is an ordinary argument. The same option given again calls its handler again.
class TOptionParser {
public:
    // Takes an option's value; throws TUsageError for a value it cannot use.
    using TTake = std::function<void(const std::string& value)>;

    TOptionParser& Flag(std::initializer_list<std::string> names, bool& target);
    TOptionParser& Value(std::initializer_list<std::string> names, TTake take);
    // For a command that words a missing value its own way.
    TOptionParser& MissingValue(std::function<TUsageError(const std::string& option)> error);

    // The arguments that are not options, in their order. Throws THelpWanted or TUsageError.
    std::vector<std::string> Parse(const std::vector<std::string>& args) const;

private:
    struct TOption {
        std::vector<std::string> Names;
        bool TakesValue = false;
        TTake Take;
    };

    const TOption* Find(const std::string& name) const;

    std::vector<TOption> Options_;
    std::function<TUsageError(const std::string& option)> MissingValue_;
};

} // namespace km::cli
