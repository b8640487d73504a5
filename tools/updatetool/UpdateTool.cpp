#include "tools/updatetool/UpdateTool.h"

#include <sodium.h>

#include <cstdio>

namespace {

constexpr const char* kUsage = R"(Usage: updatetool <command> <arguments>

Publishes game and launcher updates for the launcher's update library.

Commands:
  keygen     makes the signing key pair: a secret key file and update.pub
  package    builds an update package (.upd or .tre) from an old and a new tree
  publish    adds packages to a serving folder with a new signed manifest
  verify     fetches a served manifest and every package and checks them all
  list       prints what a site (folder or manifest URL) serves
  prune      removes a site's serial folders the manifest no longer names

Run 'updatetool <command> --help' for each command's arguments.

Exit codes:
  0  success; for verify, everything the launcher checks holds
  1  a check failed, or the command could not do its work (the reason is
     printed on one line)
  2  usage error
)";

}  // namespace

int Fail(const std::string& text) {
    std::fprintf(stderr, "updatetool: %s\n", text.c_str());
    return kExitFailed;
}

int UsageError(const std::string& command, const std::string& problem) {
    std::fprintf(stderr, "updatetool %s: %s; see updatetool %s --help\n", command.c_str(), problem.c_str(),
                 command.c_str());
    return kExitUsage;
}

int PrintUsage(const char* text) {
    std::fputs(text, stdout);
    return kExitOk;
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

int RunUpdateTool(const std::vector<std::string>& args) {
    // Started without arguments, the tool shows what it does, as every
    // operator tool does; it is still a usage error for a script.
    if (args.empty()) {
        PrintUsage(kUsage);
        return kExitUsage;
    }
    if (IsHelp(args[0]) || args[0] == "help") return PrintUsage(kUsage);
    if (sodium_init() < 0) return Fail("libsodium cannot be initialised");
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "keygen") return RunKeygen(rest);
    if (args[0] == "package") return RunPackage(rest);
    if (args[0] == "publish") return RunPublish(rest);
    if (args[0] == "verify") return RunVerify(rest);
    if (args[0] == "list") return RunList(rest);
    if (args[0] == "prune") return RunPrune(rest);
    std::fprintf(stderr, "updatetool: unknown command '%s'; see updatetool --help\n", args[0].c_str());
    return kExitUsage;
}
