#pragma once

#include <QString>

#include <functional>

// Puts a finished download into its folder (the Desktop) under a free name, for both engines.
// Never replaces anything, even when another save picks the same name at the same moment: the
// file is put in place with a rename (or hard link) that fails when the name exists, and the
// next name is tried: "<stem> (2)<extension>", (3)… When the source is on another file system
// (a tmpfs /tmp), it is first copied into a hidden ".quorvin-<uuid>.part" file beside its
// destination, flushed, then renamed into place: nothing partial ever carries a final name.
namespace FilePlacement {

// Names are limited in bytes by the file system: 255 with the " (n)" counter and extension.
inline constexpr qsizetype kMaxNameBytes = 255;
// Far more than any folder holds of one name; a bound keeps a broken folder from looping.
inline constexpr int kMaxCounter = 9999;

// The most UTF-8 bytes a stem may take so that stem + " (9999)" + extension fits kMaxNameBytes.
qsizetype stemBudget(const QString& extension);

// `stem` cut at a user-perceived character boundary to stemBudget(extension); unchanged when it
// fits.
QString fitStem(const QString& stem, const QString& extension);

// Why a placement failed: an errno value (EEXIST when every name up to kMaxCounter is taken,
// ECANCELED when stopped before the file was in place).
struct Error {
    int code = 0;
    bool cancelled() const;
    QString reason() const;  // the system's text for the code
};

// Moves `source` into `folder` as `name`, or as name's stem + " (n)" + `numberedExtension`
// with n = 2, 3…; a stem too long for kMaxNameBytes is cut first. `stopRequested` is asked
// between copied chunks and before each attempt to place the file: once it says yes, whatever
// was copied is removed and Error{ECANCELED} is thrown, and `source` stays. Once the file is in
// place, the placement is done whatever is asked later. Returns the final path; on success
// `source` is gone, on failure it stays. Throws Error. Any thread; copies block.
QString place(const QString& source, const QString& folder, const QString& name,
              const QString& numberedExtension, const std::function<bool()>& stopRequested = {});

}  // namespace FilePlacement
