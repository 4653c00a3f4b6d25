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

// The bytes of a stream on global memory, locked while this lives.
class LockedStream {
public:
    LockedStream() = default;
    LockedStream(const LockedStream&) = delete;
    LockedStream& operator=(const LockedStream&) = delete;
    ~LockedStream()
    {
        if (bytes_) ::GlobalUnlock(memory_);
    }

    HRESULT Lock(IStream* stream) noexcept
    {
        RETURN_IF_FAILED(::GetHGlobalFromStream(stream, &memory_));
        bytes_ = static_cast<BYTE*>(::GlobalLock(memory_));
        return bytes_ ? S_OK : E_OUTOFMEMORY;
    }
    BYTE* Bytes() const noexcept { return bytes_; }

private:
    HGLOBAL memory_ = nullptr;
    BYTE* bytes_ = nullptr;
};

// A regular disk file: a pipe or a device could keep a read waiting for ever.
HRESULT OpenDiskFile(const wchar_t* name, UniqueFile& file) noexcept
{
    const HANDLE opened = ::CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return LastError();
    file.reset(opened);
    return ::GetFileType(opened) == FILE_TYPE_DISK ? S_OK : CTL_E_INVALIDPICTURE;
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
HRESULT LoadIconGroup(const Text& path, const GroupReference& reference, int width, int height,
                      UniqueIcon& icon) noexcept
{
    Text name;
    RETURN_IF_FAILED(name.Assign(path.Chars(), reference.comma));
    // LoadLibraryExW would search the DLL path for a bare name and add ".dll"
    // to a name without an extension: it gets the full name of the file checked.
    const DWORD needed = ::GetFullPathNameW(name.Chars(), 0, nullptr, nullptr);
    if (needed == 0) return CTL_E_INVALIDPICTURE;
    std::unique_ptr<wchar_t[]> full(new (std::nothrow) wchar_t[needed]);
    if (!full) return E_OUTOFMEMORY;
    wchar_t* fileName = nullptr;
    const DWORD length = ::GetFullPathNameW(name.Chars(), needed, full.get(), &fileName);
    if (length == 0 || length >= needed || !fileName || !std::wcschr(fileName, L'.')) return CTL_E_INVALIDPICTURE;
    UniqueFile file;
    RETURN_IF_FAILED(OpenDiskFile(full.get(), file));
    const UniqueModule module(
        ::LoadLibraryExW(full.get(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return CTL_E_INVALIDPICTURE;

    GroupSearch search{reference.number, nullptr};
    if (!reference.byId)
        ::EnumResourceNamesW(module.get(), kGroupType, FindIndexedGroup, reinterpret_cast<LONG_PTR>(&search));
    else if (reference.number >= 1 && reference.number <= 0xFFFF)  // MAKEINTRESOURCEW keeps 16 bits
        search.found = ::FindResourceW(module.get(), MAKEINTRESOURCEW(reference.number), kGroupType);
    const BYTE* group = nullptr;
    DWORD size = 0;
    if (!ResourceBytes(module.get(), search.found, group, size)) return CTL_E_INVALIDPICTURE;
    // Entries as an icon file's, with a 2-byte RT_ICON id for the offset.
    const DWORD count = ImageCount(group, size, 14);
    if (count == 0) return CTL_E_INVALIDPICTURE;
    ImageChooser chooser(width);
    for (const BYTE* entry = group + 6; entry < group + 6 + count * 14; entry += 14) {
        const HRSRC image = ::FindResourceW(module.get(), MAKEINTRESOURCEW(LittleEndian(entry + 12, 2)), kIconType);
        const BYTE* bytes = nullptr;
        DWORD length = 0;
        if (!ResourceBytes(module.get(), image, bytes, length) || !IsIconImage(bytes, length))
            return CTL_E_INVALIDPICTURE;
        chooser.Offer(entry[0], bytes, length);
    }
    return chooser.Create(width, height, icon);
}

}  // namespace

HRESULT ReadIconFile(const Text& path, Microsoft::WRL::ComPtr<IStream>& stream, ULONG& size) noexcept
{
    // Cut at a nul, the name would be another file's.
    if (path.HasNul()) return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    UniqueFile file;
    RETURN_IF_FAILED(OpenDiskFile(path.Chars(), file));
    LARGE_INTEGER length;
    if (!::GetFileSizeEx(file.get(), &length) || length.QuadPart < 6 || length.QuadPart > kMaxIconFileBytes)
        return CTL_E_INVALIDPICTURE;
    size = static_cast<ULONG>(length.QuadPart);

    ULARGE_INTEGER streamSize;
    streamSize.QuadPart = size;
    RETURN_IF_FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, stream.ReleaseAndGetAddressOf()));
    RETURN_IF_FAILED(stream->SetSize(streamSize));
    LockedStream locked;
    RETURN_IF_FAILED(locked.Lock(stream.Get()));
    BYTE* bytes = locked.Bytes();
    DWORD read = 0;
    const bool usable = ::ReadFile(file.get(), bytes, size, &read, nullptr) && read == size && IsIconFile(bytes, size);
    return usable ? S_OK : CTL_E_INVALIDPICTURE;
}

HRESULT LoadIconFile(const Text& path, int width, int height, UniqueIcon& icon) noexcept
{
    Microsoft::WRL::ComPtr<IStream> stream;
    ULONG size = 0;
    const HRESULT read = ReadIconFile(path, stream, size);
    // Only a name that no file has can reference an icon group.
    GroupReference reference;
    if ((read == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || read == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) &&
        ParseGroupReference(path, reference))
        return LoadIconGroup(path, reference, width, height, icon);
    RETURN_IF_FAILED(read);
    LockedStream locked;
    RETURN_IF_FAILED(locked.Lock(stream.Get()));
    const BYTE* bytes = locked.Bytes();
    ImageChooser chooser(width);
    for (const BYTE* entry = bytes + 6; entry < bytes + 6 + LittleEndian(bytes + 4, 2) * 16; entry += 16)
        chooser.Offer(entry[0], bytes + LittleEndian(entry + 12, 4), LittleEndian(entry + 8, 4));
    return chooser.Create(width, height, icon);
}

}  // namespace zanthel
