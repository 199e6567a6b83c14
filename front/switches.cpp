#include "front/switches.h"

namespace {

[[noreturn]] void Refuse(SwitchSet set, const char* message) {
    if (set == SwitchSet::Nt) ShowUsage(message);
    ShowUsage95(message);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

void ParseSwitches(int argc, char** argv, SwitchSet set, CommandOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] != '-' && arg[0] != '/') Refuse(set, "unknown option");
        const char letter = Lower(arg[1]);
        const char* rest = arg + 2;
        switch (letter) {
            case 'a':
            case 'd':
            case 'l':
            case 'v':
                if (letter == 'd' && set == SwitchSet::Nt) Refuse(set, "unknown option");
                if (*rest != '\0') Refuse(set, "unknown option");
                if (letter == 'a') options.KillAll = 1;
                if (letter == 'd') options.KillParent = 1;
                if (letter == 'l') options.ListOnly = 1;
                if (letter == 'v') options.Verbose = 1;
                break;
            case 'n': {
                if (options.NameGiven) Refuse(set, "Option /n specified more than once");
                options.NameGiven = 1;
                NamePattern& p = options.Pattern;
                SplitPath(rest, p.Drive, p.Directory, p.BaseName, p.Extension);
                if (p.BaseName[0] == '\0') Refuse(set, "name component not present");
                break;
            }
            case 'p': {
                if (options.PidGiven) Refuse(set, "Option /p specified more than once");
                options.PidGiven = 1;
                const bool hex = *rest == '$';
                if (!ReadPidText(hex ? rest + 1 : rest, hex, options.Pid))
                    Refuse(set, "<PID> has wrong format");
                break;
            }
            default:
                Refuse(set, "unknown option");
        }
    }
    if ((options.NameGiven && options.PidGiven) ||
        (!options.NameGiven && !options.PidGiven && !options.ListOnly))
        Refuse(set, nullptr);
}
