#include "common/icon_file.h"

#include "common/errors.h"
#include "common/handles.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

namespace zanthel {
namespace {

// A 256 x 256 image at 32 bits takes 264 KB; no real icon file comes near this.
constexpr DWORD kMaxIconFileBytes = 4u << 20;

DWORD LittleEndian(const BYTE* at, int bytes)
{
    DWORD value = 0;
    while (bytes--) value = value << 8 | at[bytes];
    return value;
}

DWORD BigEndian(const BYTE* at) { return DWORD(at[0]) << 24 | DWORD(at[1]) << 16 | DWORD(at[2]) << 8 | at[3]; }

// No icon image is wider than 256 pixels; this bounds the arithmetic below.
constexpr LONG kMaxSide = 1 << 16;
// The most a directory entry can name, and all Windows' own loader takes.
constexpr DWORD kMaxPngSide = 256;

bool StartsAsPng(const BYTE* image, DWORD length) { return length >= 4 && LittleEndian(image, 4) == 0x474E5089; }

// The decoders size a PNG's pixels from its IHDR alone: a 2 KB file claiming
// 32,768 x 32,768 kept one decoding gigabytes for minutes. So the signature
// and an IHDR chunk (length 13, first) must be there, claiming at most what
// an icon can be; the rest the decoder checks.
bool IsIconPng(const BYTE* image, DWORD length)
{
    static const BYTE start[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    if (length < sizeof start + 13 + 4 || std::memcmp(image, start, sizeof start) != 0) return false;
    const DWORD width = BigEndian(image + 16);
    const DWORD height = BigEndian(image + 20);
    return width >= 1 && width <= kMaxPngSide && height >= 1 && height <= kMaxPngSide;
}

// An image is a PNG as above or a DIB whose header, colour table and colour
// bits lie inside it: the loaders size those in 32 bits, which a huge width
// wraps (the mask may be missing; they do without it).
bool IsIconImage(const BYTE* image, DWORD length)
{
    if (StartsAsPng(image, length)) return IsIconPng(image, length);
    if (length < sizeof(BITMAPINFOHEADER)) return false;
    const DWORD header = LittleEndian(image, 4);
    const LONG width = static_cast<LONG>(LittleEndian(image + 4, 4));
    const LONG height = static_cast<LONG>(LittleEndian(image + 8, 4));
    const DWORD bits = LittleEndian(image + 14, 2);
    const DWORD compression = LittleEndian(image + 16, 4);
    const DWORD used = LittleEndian(image + 32, 4);
    if (header < sizeof(BITMAPINFOHEADER) || width < 1 || width > kMaxSide || height < 1 || height > 2 * kMaxSide ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
        (compression != BI_RGB && compression != BI_BITFIELDS))
        return false;
    const DWORD colours = used ? (used < 256 ? used : 256) : bits <= 8 ? 1u << bits : 0;
    const ULONGLONG table = (compression == BI_BITFIELDS ? 12 : 0) + colours * 4;
    const ULONGLONG colourBits = static_cast<ULONGLONG>((width * bits + 31) / 32 * 4) * (height / 2);
    return header + table + colourBits <= length;
}

// The images an icon file or an icon group lists after their common 6-byte
// header, in entries of entrySize bytes; 0 when the header is wrong or the
// directory runs past size. The loaders trust both: a count or an image that
// runs past the data makes them read past it.
DWORD ImageCount(const BYTE* bytes, DWORD size, DWORD entrySize)
{
    if (size < 6 || LittleEndian(bytes, 2) != 0 || LittleEndian(bytes + 2, 2) != 1) return 0;
    const DWORD count = LittleEndian(bytes + 4, 2);
    return 6 + count * entrySize <= size ? count : 0;  // at most about 1 MB, so no overflow
}

bool IsIconFile(const BYTE* bytes, DWORD size)
{
    const DWORD count = ImageCount(bytes, size, 16);
    if (count == 0) return false;
    for (const BYTE* entry = bytes + 6; entry < bytes + 6 + count * 16; entry += 16) {
        const DWORD length = LittleEndian(entry + 8, 4);
        const DWORD offset = LittleEndian(entry + 12, 4);
        if (offset > size || length > size - offset || !IsIconImage(bytes + offset, length)) return false;
    }
    return true;
}

// A checked image's own colour depth: the directory's bit count is often 0 or
// wrong. PNG icons carry alpha, so count as 32 bits.
DWORD ImageDepth(const BYTE* image, DWORD length)
{
    return StartsAsPng(image, length) ? 32 : LittleEndian(image + 14, 2);
}

void ReleaseScreen(HDC screen) { ::ReleaseDC(nullptr, screen); }
using UniqueScreenDc = UniqueHandle<HDC, ReleaseScreen>;

DWORD DisplayDepth()
{
    UniqueScreenDc screen(::GetDC(nullptr));
    if (!screen) return 32;  // no screen to ask: what any display today shows
    return static_cast<DWORD>(::GetDeviceCaps(screen.get(), BITSPIXEL) * ::GetDeviceCaps(screen.get(), PLANES));
}

// As the system's loaders choose among one size's depths: the deepest the
// display shows, else the shallowest.
bool SuitsBetter(DWORD depth, DWORD than, DWORD display)
{
    if ((depth <= display) != (than <= display)) return depth <= display;
    return depth <= display ? depth > than : depth < than;
}

// Takes, of the checked images offered, the one the system's loaders would:
// the exact width, else the smallest wider one, else the widest (a directory
// width of 0 means 256); of that width, the best depth.
class ImageChooser {
public:
    explicit ImageChooser(int width) noexcept : width_(width), display_(DisplayDepth()) {}

    void Offer(BYTE directoryWidth, const BYTE* image, DWORD length) noexcept
    {
        const int width = directoryWidth ? directoryWidth : 256;
        const DWORD depth = ImageDepth(image, length);
        const bool nearer = chosenWidth_ < width_ ? width > chosenWidth_ : width >= width_ && width < chosenWidth_;
        if (chosen_ && (width == chosenWidth_ ? !SuitsBetter(depth, chosenDepth_, display_) : !nearer)) return;
        chosen_ = image;
        chosenLength_ = length;
        chosenWidth_ = width;
        chosenDepth_ = depth;
    }

    HRESULT Create(int width, int height, UniqueIcon& icon) const noexcept
    {
        if (!chosen_) return CTL_E_INVALIDPICTURE;
        // The loader only reads the image, though through a pointer that is not const.
        icon.reset(::CreateIconFromResourceEx(const_cast<BYTE*>(chosen_), chosenLength_, TRUE, 0x00030000, width,
                                              height, LR_DEFAULTCOLOR));
        return icon ? S_OK : CTL_E_INVALIDPICTURE;
    }

private:
    const int width_;
    const DWORD display_;
    const BYTE* chosen_ = nullptr;
    DWORD chosenLength_ = 0;
    int chosenWidth_ = 0;
    DWORD chosenDepth_ = 0;
};

// What stopped a load, told to the host after "The icon file cannot be used: ".
struct Refusal {
    const wchar_t* reason = L"it cannot be read";
    bool searched = false;  // a bare name, looked for in the current and the system folder

    HRESULT Fail(HRESULT hr, const wchar_t* why) noexcept
    {
        reason = why;
        return hr;
    }
};

constexpr wchar_t kNotAnIcon[] = L"not a valid icon file";
constexpr wchar_t kTooLong[] = L"the path is longer than Windows allows";
constexpr wchar_t kBadName[] = L"not a valid file name";
// What a Windows path can hold at most (a UNICODE_STRING's length).
constexpr UINT kMaxPathUnits = 32767;

bool IsNotFound(HRESULT hr)
{
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

// Text from a call that, as GetSystemDirectoryW does, gives the size it needs
// (with the nul) for a buffer too short and the length it wrote otherwise.
template <typename Call>
HRESULT SizedText(Call call, Text& text) noexcept
{
    const DWORD needed = call(nullptr, 0);
    if (needed == 0) return LastError();
    std::unique_ptr<wchar_t[]> buffer(new (std::nothrow) wchar_t[needed]);
    if (!buffer) return E_OUTOFMEMORY;
    const DWORD length = call(buffer.get(), needed);
    if (length == 0 || length >= needed) return E_FAIL;  // it grew between the calls
    return text.Assign(buffer.get(), length);
}

HRESULT CurrentFolder(Text& folder) noexcept
{
    return SizedText([](wchar_t* buffer, DWORD size) { return ::GetCurrentDirectoryW(size, buffer); }, folder);
}

HRESULT SystemFolder(Text& folder) noexcept
{
    return SizedText([](wchar_t* buffer, DWORD size) { return ::GetSystemDirectoryW(buffer, size); }, folder);
}

// The words for a name the system would not open.
const wchar_t* OpenFailure(HRESULT hr, const Text& name)
{
    if (IsNotFound(hr)) return L"not found";
    if (hr == HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE)) return kTooLong;
    if (hr == HRESULT_FROM_WIN32(ERROR_INVALID_NAME)) return kBadName;
    if (hr == CTL_E_INVALIDPICTURE) return L"not a file on disk";
    if (hr != HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)) return L"it cannot be opened";
    const DWORD attributes = ::GetFileAttributesW(name.Chars());
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    return folder ? L"a folder, not a file" : L"access is denied";
}

// A regular disk file: a pipe or a device could keep a read waiting for ever.
HRESULT OpenDiskFile(const wchar_t* name, UniqueFile& file) noexcept
{
    const HANDLE opened = ::CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return LastError();
    file.reset(opened);
    return ::GetFileType(opened) == FILE_TYPE_DISK ? S_OK : CTL_E_INVALIDPICTURE;
}

// full is the name as the file functions resolve it (a relative one against
// the current folder), for the loader.
HRESULT OpenFullName(const Text& name, Text& full, UniqueFile& file, Refusal& refusal) noexcept
{
    HRESULT hr = SizedText(
        [&](wchar_t* buffer, DWORD size) { return ::GetFullPathNameW(name.Chars(), size, buffer, nullptr); }, full);
    if (SUCCEEDED(hr)) hr = OpenDiskFile(full.Chars(), file);
    return FAILED(hr) ? refusal.Fail(hr, OpenFailure(hr, full)) : hr;
}

// Windows' own icon references name system files without a folder.
bool IsBare(const Text& name) { return !name.Empty() && !std::wcspbrk(name.Chars(), L"\\/:"); }

// A bare name is looked for in the current folder, then in the system folder.
HRESULT FindAndOpen(const Text& name, Text& full, UniqueFile& file, Refusal& refusal) noexcept
{
    HRESULT hr = OpenFullName(name, full, file, refusal);
    refusal.searched = IsBare(name) && IsNotFound(hr);
    if (!refusal.searched) return hr;
    Text inSystem;
    RETURN_IF_FAILED(SystemFolder(inSystem));
    RETURN_IF_FAILED(inSystem.Append(L"\\"));
    RETURN_IF_FAILED(inSystem.Append(name));
    hr = OpenFullName(inSystem, full, file, refusal);
    refusal.searched = IsNotFound(hr);
    return hr;
}

// The name as Windows reads an icon reference: environment variables expanded.
HRESULT Expand(const Text& path, Text& expanded, Refusal& refusal) noexcept
{
    // Cut at a nul, the name would be another file's.
    if (path.HasNul()) return refusal.Fail(HRESULT_FROM_WIN32(ERROR_INVALID_NAME), kBadName);
    if (path.Length() > kMaxPathUnits) return refusal.Fail(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), kTooLong);
    if (path.Empty()) return S_OK;  // the one text that expands to nothing
    const HRESULT hr = SizedText(
        [&](wchar_t* buffer, DWORD size) {
            // Counts the nul it writes, unlike the calls SizedText expects.
            const DWORD written = ::ExpandEnvironmentStringsW(path.Chars(), buffer, size);
            return buffer && written > 0 && written <= size ? written - 1 : written;
        },
        expanded);
    if (SUCCEEDED(hr) && expanded.Length() > kMaxPathUnits)
        return refusal.Fail(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), kTooLong);
    return hr;
}

// The name in chars without the quotes Windows puts around one with spaces;
// false when a quote is left, which no file name holds.
bool Unquote(const wchar_t*& chars, UINT& length)
{
    if (length >= 2 && chars[0] == L'"' && chars[length - 1] == L'"') ++chars, length -= 2;
    return std::find(chars, chars + length, L'"') == chars + length;
}

// "<file>,<index>" names the index-th icon group of a program file, as
// Windows' own icon references do; "<file>,-<id>" the group of that id.
struct GroupReference {
    UINT comma = 0;
    bool byId = false;
    DWORD number = 0;  // stops at 0x10000: no file has that many groups, and no id is that large
};

bool ParseGroupReference(const Text& path, GroupReference& reference)
{
    const wchar_t* chars = path.Chars();
    UINT at = path.Length();
    while (at > 0 && chars[at - 1] >= L'0' && chars[at - 1] <= L'9') --at;
    if (at == path.Length()) return false;
    for (UINT digit = at; digit < path.Length(); ++digit)
        reference.number = std::min<DWORD>(reference.number * 10 + (chars[digit] - L'0'), 0x10000);
    reference.byId = at > 0 && chars[at - 1] == L'-';
    if (reference.byId) --at;
    if (at == 0 || chars[at - 1] != L',') return false;
    reference.comma = at - 1;
    return true;
}

// The resource types for the wide calls: without UNICODE the headers give them as ANSI names.
const LPCWSTR kIconType = MAKEINTRESOURCEW(LOWORD(RT_ICON));
const LPCWSTR kGroupType = MAKEINTRESOURCEW(LOWORD(RT_GROUP_ICON));

struct GroupSearch {
    DWORD remaining;
    HRSRC found;
};

BOOL CALLBACK FindIndexedGroup(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR search) noexcept
{
    GroupSearch& wanted = *reinterpret_cast<GroupSearch*>(search);
    if (wanted.remaining-- > 0) return TRUE;
    wanted.found = ::FindResourceW(module, name, type);
    return FALSE;
}

// A resource's bytes. The file's own tables place them, so they must lie in
// what the mapping holds.
bool ResourceBytes(HMODULE module, HRSRC found, const BYTE*& bytes, DWORD& size)
{
    if (!found) return false;
    bytes = static_cast<const BYTE*>(::LockResource(::LoadResource(module, found)));
    size = ::SizeofResource(module, found);
    MEMORY_BASIC_INFORMATION region;
    return bytes && ::VirtualQuery(bytes, &region, sizeof region) && region.State == MEM_COMMIT &&
           !(region.Protect & (PAGE_NOACCESS | PAGE_GUARD)) &&
           size <= static_cast<SIZE_T>(static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize - bytes);
}

// The referenced group's image nearest to width x height, checked as each
// image of an icon file is. The file is mapped as an image but none of its
// code runs.
HRESULT LoadIconGroup(const Text& name, const GroupReference& reference, int width, int height, UniqueIcon& icon,
                      Refusal& refusal) noexcept
{
    Text full;
    UniqueFile file;
    RETURN_IF_FAILED(FindAndOpen(name, full, file, refusal));
    // LoadLibraryExW would add ".dll" to a name without an extension.
    const wchar_t* folderEnd = std::wcsrchr(full.Chars(), L'\\');
    if (!std::wcschr(folderEnd ? folderEnd : full.Chars(), L'.'))
        return refusal.Fail(CTL_E_INVALIDPICTURE, L"not a program file: its name has no extension");
    const UniqueModule module(
        ::LoadLibraryExW(full.Chars(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return refusal.Fail(CTL_E_INVALIDPICTURE, L"not a program file");

    GroupSearch search{reference.number, nullptr};
    if (!reference.byId)
        ::EnumResourceNamesW(module.get(), kGroupType, FindIndexedGroup, reinterpret_cast<LONG_PTR>(&search));
    else if (reference.number >= 1 && reference.number <= 0xFFFF)  // MAKEINTRESOURCEW keeps 16 bits
        search.found = ::FindResourceW(module.get(), MAKEINTRESOURCEW(reference.number), kGroupType);
    if (!search.found)
        return refusal.Fail(CTL_E_INVALIDPICTURE, reference.byId ? L"the program file has no icon group with this id"
                                                                 : L"the program file has no icon group at this index");
    const BYTE* group = nullptr;
    DWORD size = 0;
    constexpr wchar_t kBadGroup[] = L"the program file's icon group is not valid";
    if (!ResourceBytes(module.get(), search.found, group, size)) return refusal.Fail(CTL_E_INVALIDPICTURE, kBadGroup);
    // Entries as an icon file's, with a 2-byte RT_ICON id for the offset.
    const DWORD count = ImageCount(group, size, 14);
    if (count == 0) return refusal.Fail(CTL_E_INVALIDPICTURE, kBadGroup);
    ImageChooser chooser(width);
    for (const BYTE* entry = group + 6; entry < group + 6 + count * 14; entry += 14) {
        const HRSRC image = ::FindResourceW(module.get(), MAKEINTRESOURCEW(LittleEndian(entry + 12, 2)), kIconType);
        const BYTE* bytes = nullptr;
        DWORD length = 0;
        if (!ResourceBytes(module.get(), image, bytes, length) || !IsIconImage(bytes, length))
            return refusal.Fail(CTL_E_INVALIDPICTURE, kBadGroup);
        chooser.Offer(entry[0], bytes, length);
    }
    const HRESULT hr = chooser.Create(width, height, icon);
    return FAILED(hr) ? refusal.Fail(hr, kBadGroup) : hr;
}

// An icon file's image nearest to width x height, its bytes checked before
// the loader sees them.
HRESULT LoadFileIcon(HANDLE file, int width, int height, UniqueIcon& icon, Refusal& refusal) noexcept
{
    LARGE_INTEGER length;
    if (!::GetFileSizeEx(file, &length)) return refusal.Fail(CTL_E_INVALIDPICTURE, L"it cannot be read");
    if (length.QuadPart > kMaxIconFileBytes)
        return refusal.Fail(CTL_E_INVALIDPICTURE, L"larger than an icon file can be (4 MB)");
    const DWORD size = static_cast<DWORD>(length.QuadPart);
    std::unique_ptr<BYTE[]> bytes(new (std::nothrow) BYTE[size + 1]);
    if (!bytes) return E_OUTOFMEMORY;
    DWORD read = 0;
    if (!::ReadFile(file, bytes.get(), size, &read, nullptr) || read != size)
        return refusal.Fail(CTL_E_INVALIDPICTURE, L"it cannot be read");
    if (!IsIconFile(bytes.get(), size)) return refusal.Fail(CTL_E_INVALIDPICTURE, kNotAnIcon);
    ImageChooser chooser(width);
    for (const BYTE* entry = bytes.get() + 6; entry < bytes.get() + 6 + LittleEndian(bytes.get() + 4, 2) * 16;
         entry += 16)
        chooser.Offer(entry[0], bytes.get() + LittleEndian(entry + 12, 4), LittleEndian(entry + 8, 4));
    const HRESULT hr = chooser.Create(width, height, icon);
    return FAILED(hr) ? refusal.Fail(hr, kNotAnIcon) : hr;
}

// A name that a file has is that file; only then is it read as a reference
// to a program file's icon group.
HRESULT LoadNamedIcon(const Text& path, int width, int height, UniqueIcon& icon, Refusal& refusal) noexcept
{
    Text expanded;
    RETURN_IF_FAILED(Expand(path, expanded, refusal));
    const wchar_t* whole = expanded.Chars();
    UINT wholeLength = expanded.Length();
    HRESULT hr = S_OK;
    if (Unquote(whole, wholeLength)) {
        Text name, full;
        UniqueFile file;
        RETURN_IF_FAILED(name.Assign(whole, wholeLength));
        hr = FindAndOpen(name, full, file, refusal);
        if (SUCCEEDED(hr)) return LoadFileIcon(file.get(), width, height, icon, refusal);
        if (!IsNotFound(hr)) return hr;
    } else {
        // No file's name holds a quote, but "<program>",<index> names a group.
        hr = refusal.Fail(HRESULT_FROM_WIN32(ERROR_INVALID_NAME), kBadName);
    }
    // Only a name that no file has can reference an icon group.
    GroupReference reference;
    if (!ParseGroupReference(expanded, reference)) return hr;
    const wchar_t* program = expanded.Chars();
    UINT programLength = reference.comma;
    if (!Unquote(program, programLength)) return hr;
    Text name;
    RETURN_IF_FAILED(name.Assign(program, programLength));
    return LoadIconGroup(name, reference, width, height, icon, refusal);
}

// At most this much of a host's text is quoted back: a path is no longer
// than MAX_PATH in nearly every case, and a host may show the text whole.
constexpr UINT kQuotedUnits = 260;

// Describes a refused load: why, then the host's text, cut.
HRESULT Refuse(HRESULT hr, const Refusal& refusal, const Text& path) noexcept
{
    Text what, current, system, quoted;
    what.Assign(L"The icon file cannot be used: ");
    what.Append(hr == E_OUTOFMEMORY ? L"there is not enough memory" : refusal.reason);
    if (refusal.searched && SUCCEEDED(CurrentFolder(current)) && SUCCEEDED(SystemFolder(system))) {
        what.Append(L" in the current folder (");
        what.Append(current);
        what.Append(L") or the system folder (");
        what.Append(system);
        what.Append(L")");
    }
    what.Append(L":");
    const UINT length = path.CutLength(kQuotedUnits);
    quoted.Assign(path.Chars(), length);
    if (length < path.Length()) quoted.Append(L"...");
    return Describe(hr, what.Chars(), &quoted);
}

}  // namespace

HRESULT LoadIconFile(const Text& path, int width, int height, UniqueIcon& icon) noexcept
{
    Refusal refusal;
    const HRESULT hr = LoadNamedIcon(path, width, height, icon, refusal);
    return FAILED(hr) ? Refuse(hr, refusal, path) : hr;
}

}  // namespace zanthel
