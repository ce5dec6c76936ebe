#pragma once

namespace Quillaby {

// Removes the status-line integration that earlier versions put into Claude Code: the two shim scripts
// in ~/.claude and, in ~/.claude/settings.json, a "statusLine" entry marked "_quillaby" (or the earlier
// "_zolvane") true. The entry goes back to the user's own command when the shim kept one in
// "_originalCommand", else it is removed; every other member stays. The file is rewritten only then,
// pretty-printed with sorted keys and replaced atomically (through a symbolic link to its target, keeping
// its permission bits). Runs at every launch; never fails outward and logs only a removal.
class ClaudeStatuslineCleanup {
public:
    static void uninstall();
};

} // namespace Quillaby
