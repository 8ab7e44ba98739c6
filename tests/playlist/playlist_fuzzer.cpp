// libFuzzer target over reading, classification, resolution and the rewrite: whatever the
// bytes, nothing crashes, every line comes back byte for byte after a rewrite, and the
// operations keep only lines that were in the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "playlist/operations.h"
#include "playlist/paths.h"
#include "playlist/playlist_text.h"
#include "tests/playlist/test_support.h"

using namespace tallowmere::playlist;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

bool IsSubsequence(const std::vector<std::string_view>& part, const std::vector<std::string_view>& whole) {
    std::size_t k = 0;
    for (const std::string_view line : whole) {
        if (k < part.size() && part[k] == line) ++k;
    }
    return k == part.size();
}

// Each line of part ends with a line of whole, in order: the lines of whole that were kept,
// each byte for byte, with at most a resolved prefix in front.
bool IsSubsequenceOfEnds(const std::vector<std::string_view>& part, const std::vector<std::string_view>& whole) {
    std::size_t k = 0;
    for (const std::string_view line : whole) {
        if (k < part.size() && !line.empty() && part[k].ends_with(line)) ++k;
    }
    return k == part.size();
}

// Strip Duplicates' rule: lines are the same when their characters are after lower-casing,
// undecodable bytes kept as themselves.
std::wstring DuplicateKey(const PlaylistText& playlist, std::string_view line) {
    std::wstring key = DecodeText(line, playlist.encoding);
    LowerCaseInPlace(key);
    return key;
}

// Every dropped line is the same as a line kept before it, and no two kept lines are the
// same; kept is what the operation wrote, lines what it read.
bool KeepsFirstOfEachKey(const PlaylistText& playlist, const std::vector<std::string_view>& lines,
                         const std::vector<std::string_view>& kept) {
    std::set<std::wstring> seen;
    std::size_t k = 0;
    for (const std::string_view line : lines) {
        if (line.empty()) continue;
        const bool isKept = k < kept.size() && kept[k] == line;
        const bool isNew = seen.insert(DuplicateKey(playlist, line)).second;
        if (isKept != isNew) return false;
        if (isKept) ++k;
    }
    return k == kept.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::wstring path = size % 2 ? L"D:\\Lists\\list.m3u8" : L"D:\\Lists\\list.m3u";
    const auto playlist = ParsePlaylist(bytes, path);
    if (!playlist) {
        Check(bytes.find('\0') != std::string::npos || bytes.starts_with("\xFF\xFE") ||
              bytes.starts_with("\xFE\xFF"));
        return 0;
    }
    const std::vector<std::string_view> lines = SplitLines(playlist->Body());
    for (const std::string_view line : lines) {
        Check(line.find_first_of("\r\n") == std::string_view::npos);
    }
    // Every line comes back byte for byte after a rewrite.
    const std::string rewritten = RewriteBytes(lines, playlist->Bom());
    const auto reread = ParsePlaylist(rewritten, path);
    Check(reread.has_value());
    Check(SplitLines(reread->Body()) == lines || lines.empty());

    // Resolution puts a prefix in front of the entry's own bytes, and names the file that
    // prefix and entry name, as Windows reads it (resolving again changes nothing).
    const EntryResolver resolver(L"D:\\Lists\\", L"\\\\srv\\apps");
    PlaylistWriter writer;
    std::size_t entries = 0;
    std::wstring resolved;
    for (const std::string_view line : lines) {
        if (ClassifyLine(line) != LineKind::Entry) continue;
        const std::wstring entry = playlist->Decode(line);
        const EntryForm form = resolver.Resolve(entry, resolved);
        const std::wstring& prefix = resolver.PrefixFor(form);
        if (form != EntryForm::NotAFile) {
            Check(resolved == NormalizePath(prefix + entry));
            Check(NormalizePath(resolved) == resolved);
            Check(resolved.starts_with(VolumeRootOf(resolved)));
            Check(resolved.ends_with(EntryFileName(resolved)));
        } else {
            Check(resolved.empty() && prefix.empty());
        }
        writer.Add(playlist->Encode(prefix).value_or(std::string()), line);
        ++entries;
    }
    const std::string resolvedBytes = writer.Finish();
    const std::vector<std::string_view> resolvedLines = SplitLines(resolvedBytes);
    Check(resolvedLines.size() == entries);
    std::size_t k = 0;
    for (const std::string_view line : lines) {
        if (ClassifyLine(line) == LineKind::Entry) Check(resolvedLines[k++].ends_with(line));
    }

    // The operations keep only lines of the file, in their order, byte for byte.
    for (auto operation : {RemoveTagInfo, StripDuplicates, StripMissingSongs}) {
        testing::MemoryFileSystem files;
        testing::RecordingHost host;
        files.files[path] = bytes;
        files.files[L"D:\\Lists\\a.mp3"] = "";
        const RunContext context{host, files, L"C:\\Program"};
        Check(operation(context, path) == RunOutcome::Done);
        const std::string& written = files.files[path];
        // The old content is the backup when the file changed; nothing was written when not.
        const auto backup = files.files.find(path + L"_backup");
        Check(written == bytes ? backup == files.files.end() : backup != files.files.end() && backup->second == bytes);
        Check(!host.BusyVisible());
        // Compared as written: the file's own byte-order mark, then its lines (an empty result
        // is an empty file). Not as read back: a line that begins with the bytes of a
        // byte-order mark (UTF-8, or UTF-16's FE FF, "þÿ" in Windows-1252) and has become the
        // first line, its empty lines before it dropped, would be taken for one.
        Check(written.empty() || written.starts_with(playlist->Bom()));
        const std::string_view body =
            std::string_view(written).substr(written.empty() ? 0 : playlist->Bom().size());
        const std::vector<std::string_view> writtenLines = SplitLines(body);
        if (operation != StripMissingSongs) Check(IsSubsequence(writtenLines, lines));
        if (operation == StripMissingSongs) Check(IsSubsequenceOfEnds(writtenLines, lines));
        if (operation == StripDuplicates) Check(KeepsFirstOfEachKey(*playlist, lines, writtenLines));
    }
    return 0;
}
