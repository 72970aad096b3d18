#pragma once

#include <QString>

// Where the single-instance lock and socket live. $XDG_RUNTIME_DIR is the user's own; the
// temporary folder is shared with every user, and any of them may have taken our name in it
// first, as a folder of theirs or as a link to one. So a folder there is used only when it is
// ours alone: a real folder (never a link), owned by us, mode 0700.
namespace InstanceFolder {

// $XDG_RUNTIME_DIR when it is set and names a folder; empty otherwise.
QString runtime();

// $TMPDIR/quorvin-<uid> when it is ours alone (created if missing); otherwise a private folder
// $TMPDIR/quorvin-<uid>-XXXXXX beside it, the one an earlier launch made when there is one, so
// that every launch still meets in one place. Throws SingleInstance::Unavailable when none can
// be made.
QString privateFallback();

// The system's words for the last failed call (errno).
QString systemWords();

}  // namespace InstanceFolder
