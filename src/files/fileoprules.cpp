// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/fileoprules.h"

#include <cerrno>

namespace morvane::files {

NameProblem checkNewName(std::string_view name) noexcept
{
    if (name.empty())
        return NameProblem::Empty;
    if (name.find('\0') != std::string_view::npos)
        return NameProblem::Nul;
    if (name.find('/') != std::string_view::npos)
        return NameProblem::Separator;
    if (name == "." || name == "..")
        return NameProblem::DotName;
    return NameProblem::None;
}

std::string_view trimTrailingSlashes(std::string_view path) noexcept
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

std::string_view lastComponent(std::string_view path) noexcept
{
    path = trimTrailingSlashes(path);
    if (path == "/")
        return {};
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view parentOf(std::string_view path) noexcept
{
    path = trimTrailingSlashes(path);
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return ".";
    if (slash == 0)
        return "/";
    return trimTrailingSlashes(path.substr(0, slash));
}

std::string joinPath(std::string_view folder, std::string_view name)
{
    std::string out(folder);
    if (out.empty() || out.back() != '/')
        out += '/';
    out += name;
    return out;
}

bool isSameOrInside(std::string_view folder, std::string_view path) noexcept
{
    folder = trimTrailingSlashes(folder);
    path = trimTrailingSlashes(path);
    if (folder == "/")
        return !path.empty() && path.front() == '/';
    return path.substr(0, folder.size()) == folder
        && (path.size() == folder.size() || path[folder.size()] == '/');
}

bool isTemporaryName(std::string_view name) noexcept
{
    if (name.size() != kTemporaryPrefix.size() + kTemporaryLetters + kTemporarySuffix.size()
        || name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix
        || name.substr(name.size() - kTemporarySuffix.size()) != kTemporarySuffix)
        return false;
    const std::string_view letters = name.substr(kTemporaryPrefix.size(), kTemporaryLetters);
    return letters.find_first_not_of(kTemporaryAlphabet) == std::string_view::npos;
}

bool isInTrashFiles(std::string_view path) noexcept
{
    const std::string_view files = parentOf(path);
    if (lastComponent(path).empty() || lastComponent(files) != "files")
        return false;
    const std::string_view trash = parentOf(files);
    const std::string_view name = lastComponent(trash);
    auto isUid = [](std::string_view s) {
        return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (name == "Trash" || (name.substr(0, 7) == ".Trash-" && isUid(name.substr(7))))
        return true;
    return isUid(name) && lastComponent(parentOf(trash)) == ".Trash";
}

ItemStep decideTransfer(const ItemFacts &f) noexcept
{
    if (f.source == EntryKind::Missing)
        return ItemStep::RefuseMissing;
    if (f.sameEntry)
        return ItemStep::RefuseSameEntry;
    if (f.source == EntryKind::Special)
        return ItemStep::RefuseSpecial;
    if (f.source == EntryKind::Folder && f.targetInsideSource)
        return ItemStep::RefuseIntoItself;
    if (f.target == EntryKind::Missing)
        return ItemStep::Proceed;
    if (f.source == EntryKind::Folder)
        return f.target == EntryKind::Folder ? ItemStep::Merge : ItemStep::RefuseFolderOverFile;
    if (f.target == EntryKind::Folder)
        return ItemStep::RefuseFileOverFolder;
    return ItemStep::AskReplace;
}

ReplaceStep ReplaceConsent::take(ReplaceAnswer answer) noexcept
{
    if (m_all)
        return ReplaceStep::Replace;
    switch (answer) {
    case ReplaceAnswer::YesToAll:
        m_all = true;
        return ReplaceStep::Replace;
    case ReplaceAnswer::Yes:
        return ReplaceStep::Replace;
    case ReplaceAnswer::No:
        return ReplaceStep::Skip;
    case ReplaceAnswer::Cancel:
        break;
    }
    return ReplaceStep::Stop;
}

std::string reasonText(int error)
{
    switch (error) {
    case ENOENT:
        return "ファイルが見つかりません。";
    case EACCES:
    case EPERM:
        return "アクセスが拒否されました。";
    case EROFS:
        return "読み取り専用の場所です。";
    case ENOSPC:
    case EDQUOT:
        return "ディスクの空き領域が足りません。";
    case EEXIST:
    case ENOTEMPTY:
        return "同じ名前のファイルまたはフォルダーが既にあります。";
    case ENAMETOOLONG:
        return "名前が長すぎます。";
    case EIO:
        return "読み書きの途中でエラーが発生しました。";
    case EBUSY:
    case ETXTBSY:
        return "ファイルが使用中です。";
    case ENOTDIR:
        return "パスの途中にフォルダーでないものがあります。";
    case EISDIR:
        return "同じ名前のフォルダーがあります。";
    case ELOOP:
        return "シンボリックリンクが多すぎます。";
    case EFBIG:
        return "ファイルが大きすぎます。";
    case EMLINK:
        return "リンクが多すぎます。";
    case ENOMEM:
        return "メモリが不足しています。";
    case EXDEV:
        return "別のファイルシステムへは移動できません。";
    default:
        break;
    }
    return "エラーが発生しました（エラー番号 " + std::to_string(error) + "）。";
}

} // namespace morvane::files
