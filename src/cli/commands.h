// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

// Each subcommand takes the arguments after its name and returns the process exit status:
// 0 success, 1 a reported failure of the operation, 2 bad usage or a missing input.
namespace morvane::cli {

// census DIR: the first status panel's text for DIR after a list build, then one line per listed
// file in list order (caption, kind, size, date-time text, width, height; tab separated), UTF-8.
int runCensus(const std::vector<std::string> &args);

// rename --pattern P [--start N] [--apply] [--] NAME...: a dry run of the batch rename. One line
// per NAME with its new name (UTF-8), the sequence number running on across the names from N
// (default 1); a name whose new name cannot be made gives `error<TAB>message` on its line and
// status 1, the run going on. A pattern error, or a start number that is not an integer, prints
// `error<TAB>message` alone and returns 1. With --apply each NAME is the path of a file, the
// pattern works on its name, and each file whose new name differs is renamed through the file
// operations after its line is printed, never onto an existing name: a refused file keeps its
// name, with a message on stderr. Status 0 exactly when every file that needed a rename got it
// and every file named is there; with --apply a NAME that ends in "/" or names a folder ends the
// command before any rename (status 2).
int runRename(const std::vector<std::string> &args);

// exif FILE: the Exif rows of FILE as the main window appends them, one `label<TAB>value` line
// each (UTF-8); after a failure a last line `error<TAB>message` and status 1; nothing for a file
// that yields no rows. A FILE that cannot be opened or mapped: message on stderr, status 2.
int runExif(const std::vector<std::string> &args);

// thumbs DIR [--size N] [--quality full|half|quarter|eighth] [--threads N] [--sheet OUT.png]
// [--no-cache]: the
// main window's list build run headless (offscreen without a display); prints files, pictures,
// other files, bytes, wall time, pictures per second, peak memory, the built list's heap per item
// and the census panel text; --sheet writes the list as a contact sheet (PNG, list order, captions
// under the boxes), and a line "cache: read N, wrote M (FOLDER)" with the pictures taken from the
// thumbnail cache and written to it ("cache: not used" with --no-cache). Status 1 when the build
// stops early or the sheet cannot be written.
int runThumbs(const std::vector<std::string> &args);

// cache stats|clear|prune: the thumbnail cache of the window ($XDG_CACHE_HOME/morvane/thumbnails)
// with the limit of its settings. stats prints the folder, the entries, their bytes and the
// limit; clear removes every entry; prune removes the least recently used ones down to the limit.
// Status 2 for another word.
int runCache(const std::vector<std::string> &args);

// copy SRC... DESTDIR, move SRC... DESTDIR: each SRC (file or folder) into the folder DESTDIR
// under its own name, through the file operations. trash PATH...: each PATH to the trash.
// rename-file PATH NEWNAME: PATH gets the name NEWNAME in its folder. No question is asked: an
// existing target is never replaced (the file is skipped), a file without a usable trash stays
// where it is; each such file and every failure gets one line on stderr. Status 0 exactly when
// every file was done, 1 otherwise, 2 for bad arguments (too few, an empty path, a relative path
// without a readable working folder, DESTDIR not a folder), 128 + the signal after SIGINT or
// SIGTERM, which stop the request as a cancel does. move refuses a SRC "link/" whose name is a
// link to a folder (as mv does: moving the folder would leave the link dangling).
int runCopy(const std::vector<std::string> &args);
int runMove(const std::vector<std::string> &args);
int runTrash(const std::vector<std::string> &args);
int runRenameFile(const std::vector<std::string> &args);

// undo: reverses the newest entry of the undo journal and prints what was undone, then each item
// that was not (status 1 then, or when there is nothing to undo). undo --list: the entries, newest
// first: `date-time<TAB>action<TAB>items`, then `<TAB>op<TAB>from<TAB>to` per item (op M move or
// rename, C copy, T trash, D new folder; a byte that is not UTF-8 as \xHH). undo --recover:
// brings rename runs that were interrupted to an end (each file under its old or new name, or a
// free name derived from the old one); status 1 when a record had to be kept.
int runUndo(const std::vector<std::string> &args);

} // namespace morvane::cli
