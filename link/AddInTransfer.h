#pragma once
// An add-in for the device, described by a ZRS file: a title line, the add-in's document
// file, then the data files to store on the device ("S1:" + name). Every name is a plain file
// name in the ZRS file's own folder: a package must not reach any other file on this
// computer. ZRS files are made on Windows, so a name may differ in case from the file on disk.
//
// ZRS file:
//     ZRS,P,"Title"
//     README.TXT          the document shown before the transfer
//     APP.EXE             the add-in itself: size-checked, and checked for on the device
//     APP.DAT             further data files, in the order they are stored

#include "resources/StringIds.h"

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

namespace tessera {

// Message ids of the add-in transfer.
enum AddInMessage : int {
    kMsgZrsFormat = 2560,
    kMsgZrsMissingFile = 2561,
    kMsgZrsNoMemory = 2562,
    kMsgAddInPrepareFailed = 2563,
    kMsgAddInDocument = 2564,
    kMsgAddInSameName = 2565,
    kMsgAddInUnsupported = 2566,
    kMsgAddInTooLarge = 2567,
    kMsgZrsOpen = 2568,
    kMsgAddInNameTooLong = 2569, // '%s': the name as written
    kMsgZrsNotPlainName = 9240,  // %d: line, '%s': the name as written
    kMsgZrsTotalTooLarge = 9241, // %d: the add-in's bytes, %d: the limit
    kMsgZrsOutsideFolder = 9242, // %d: line, '%s': the name as written
    kMsgAddInFileChanged = 9243, // '%s': the name as written
    kMsgAddInConfirm = 3092,
    kMsgAddInNote = 9025,                      // the overview window's note
    kMsgAddInStepBase = ids::kMsgTransferring, // step k shows 1104 + k
};

class CAddInTransfer {
public:
    // Results of LoadZrs. A positive result is shown as message 2559 + result.
    enum LoadResult : int {
        kCannotOpen = -1, // 2568
        kLoaded = 0,
        kBadFormat = 1,      // 2560: line 1 is not a ZRS line, or fewer than three lines
        kMissingFile = 2,    // 2561
        kNoMemory = 3,       // 2562
        kNameTooLong = 10,   // 2569: a data file's name does not fit the device's command
        kNotPlainName = 11,  // 9240: a name with a folder part, "..", a drive or absolute
        kTotalTooLarge = 12, // 9241: all files together exceed kMaxTotalSize
        kOutsideFolder = 13, // 9242: a plain name whose file (a link) lies elsewhere
    };

    // The first file must be strictly smaller than this; more room when the device has
    // S7:NIFADR.BOX.
    static constexpr std::int64_t kSizeLimitExtended = 120832; // 0x1D800
    static constexpr std::int64_t kSizeLimitPlain = 54272;     // 0xD400
    static std::int64_t SizeLimit(bool extendedMemory) {
        return extendedMemory ? kSizeLimitExtended : kSizeLimitPlain;
    }
    // Longest name (code page 932 bytes) a device command can carry with its "S1:" prefix.
    static constexpr int kMaxNameBytes = 25;
    // The most an add-in (all its files together) may hold: 2 MiB. No PI-series model has
    // more memory than that, and it is what the progress bar can count (65,535 steps of 32
    // bytes). The device tells only whether its extension is there (S7:NIFADR.BOX, which
    // lifts the first file's limit); it says nothing of the files after the first, so a sum
    // no model could hold is refused before the link opens, not after half an hour on it.
    static constexpr std::int64_t kMaxTotalSize = 2 * 1024 * 1024;

    CAddInTransfer() = default;

    // Reads the ZRS file; shows nothing. On failure the transfer holds nothing usable.
    int LoadZrs(const QString& path);
    // LoadZrs, and on failure its message (2568, 2560, 2561, 2562, 2569, 9240, 9241 or 9242)
    // then 2563.
    bool Load(const QString& path);

    // The add-in's document as code page 932 text for the overview window, every line ending
    // in CR LF. False when the file could not be read completely (`text` keeps what was read).
    bool ReadDocument(std::string& text) const;

    const QString& ZrsDirectory() const { return m_directory; }
    const QString& DocumentPath() const { return m_documentPath; }
    // The title of line 1 (between the quotes), code page 932.
    const std::string& Title() const { return m_title; }
    int FileCount() const { return static_cast<int>(m_names.size()); }
    // The name as written in the ZRS file (code page 932): what the device is told.
    const std::string& DeviceName(int index) const {
        return m_names.at(static_cast<std::size_t>(index));
    }
    // The file on this computer.
    const QString& FilePath(int index) const { return m_paths.at(static_cast<std::size_t>(index)); }
    // Its size when the ZRS file was read.
    std::int64_t FileSize(int index) const { return m_sizes.at(static_cast<std::size_t>(index)); }
    // The first file that is no longer what was checked (replaced by a link out of the folder,
    // removed, or of another size), or -1. The user may take a while over the overview.
    int ChangedFile() const;
    std::int64_t TotalSize() const { return m_totalSize; }
    std::int64_t FirstFileSize() const { return m_firstFileSize; }
    // After kNameTooLong, kMissingFile, kNotPlainName or kOutsideFolder: the name concerned
    // (code page 932) and its line in the ZRS file (from 1).
    const std::string& ProblemName() const { return m_problem; }
    int ProblemLine() const { return m_problemLine; }
    // After kTotalTooLarge: the bytes of all files together.
    std::int64_t ProblemSize() const { return m_problemSize; }

    // True for a plain file name (code page 932): no "/" or "\", no "..", no drive or other
    // ":", no control character, not empty.
    static bool IsPlainName(const std::string& name);
    // Finds a plain name of a ZRS file in `directory`: the exact file when it exists, else the
    // one whose name differs only in case. Empty when there is no such regular file or the
    // name is not plain.
    static QString ResolveName(const QString& directory, const std::string& name);

private:
    int LoadInner(const QString& path);
    void Clear();
    // True when `path` is a regular file whose real place is the ZRS folder itself.
    bool InFolder(const QString& path) const;

    QString m_directory;
    QString m_documentPath;
    std::string m_title;
    std::vector<std::string> m_names;
    std::vector<QString> m_paths;
    std::vector<std::int64_t> m_sizes;
    QString m_folder; // the ZRS folder as the disk knows it (links resolved)
    std::int64_t m_totalSize = 0;
    std::int64_t m_firstFileSize = 0;
    std::string m_problem;
    int m_problemLine = 0;
    std::int64_t m_problemSize = 0;
};

} // namespace tessera
