#include "cli/options.h"

#include <algorithm>
#include <utility>

namespace km::cli {

TOptionParser& TOptionParser::Flag(std::initializer_list<std::string> names, bool& target)
{
    Options_.push_back({names, false, [&target](const std::string&) { target = true; }});
    return *this;
}

TOptionParser& TOptionParser::Value(std::initializer_list<std::string> names, TTake take)
{
    Options_.push_back({names, true, std::move(take)});
    return *this;
}

TOptionParser& TOptionParser::MissingValue(std::function<TUsageError(const std::string& option)> error)
{
    MissingValue_ = std::move(error);
    return *this;
}

const TOptionParser::TOption* TOptionParser::Find(const std::string& name) const
{
    for (const TOption& option : Options_)
        if (std::find(option.Names.begin(), option.Names.end(), name) != option.Names.end())
            return &option;
    return nullptr;
}

std::vector<std::string> TOptionParser::Parse(const std::vector<std::string>& args) const
{
    std::vector<std::string> rest;
    bool optionsDone = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsDone || a.size() < 2 || a[0] != '-') {
            rest.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsDone = true;
            continue;
        }
        if (a == "--help" || a == "-h")
            throw THelpWanted {};
        const TOption* option = Find(a);
        if (!option)
            throw TUsageError {"Unbekannte Option: " + a};
        if (!option->TakesValue) {
            option->Take(a);
            continue;
        }
        if (i + 1 == args.size())
            throw MissingValue_ ? MissingValue_(a) : TUsageError {"Der Option " + a + " fehlt ihr Wert."};
        option->Take(args[++i]);
    }
    return rest;
}

} // namespace km::cli
