// Subcommands of the dovav tool. Each takes the arguments after its name and
// returns the process exit status.
#pragma once

namespace dovav {

// Exit statuses shared by all commands.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // the command ran and found a problem
constexpr int kExitUsage = 2;    // bad command line or missing input file

struct Command {
    const char* name;
    const char* summary;
    const char* usage;  // full help text of the command
    int (*run)(int argc, char** argv);
};

// Each command's full help text and entry point.
extern const char kChannelsUsage[];
int runChannels(int argc, char** argv);
extern const char kCheckUsage[];
int runCheck(int argc, char** argv);
extern const char kRenderUsage[];
int runRender(int argc, char** argv);
extern const char kObjUsage[];
int runObj(int argc, char** argv);
extern const char kDumpUsage[];
int runDump(int argc, char** argv);
extern const char kImportUsage[];
int runImport(int argc, char** argv);
extern const char kExportUsage[];
int runExport(int argc, char** argv);

}  // namespace dovav
