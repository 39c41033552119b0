#include "ui/win32/Images.h"

#include <wincodec.h>

namespace marrowgate::win32 {

namespace {

// A COM interface pointer, released when it goes.
template <class Interface>
class Com {
public:
    Com() = default;
    ~Com() {
        if (pointer_) pointer_->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    Interface* operator->() const { return pointer_; }
    Interface* get() const { return pointer_; }
    Interface** put() { return &pointer_; }
    Interface* release() {
        Interface* pointer = pointer_;
        pointer_ = nullptr;
        return pointer;
    }

private:
    Interface* pointer_ = nullptr;
};

bool create_factory(Com<IWICImagingFactory>& factory) {
    return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put())));
}

}  // namespace

Picture::Picture(const wchar_t* resource) {
    const HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, resource, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    auto* bytes = loaded ? static_cast<BYTE*>(LockResource(loaded)) : nullptr;
    Com<IWICImagingFactory> factory;
    if (!bytes || !create_factory(factory)) return;
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    Com<IWICFormatConverter> converter;
    Com<IWICBitmap> decoded;
    if (SUCCEEDED(factory->CreateStream(stream.put())) &&
        SUCCEEDED(stream->InitializeFromMemory(bytes, SizeofResource(module, found))) &&
        SUCCEEDED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad,
                                                   decoder.put())) &&
        SUCCEEDED(decoder->GetFrame(0, frame.put())) && SUCCEEDED(factory->CreateFormatConverter(converter.put())) &&
        SUCCEEDED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                        0, WICBitmapPaletteTypeCustom)) &&
        SUCCEEDED(factory->CreateBitmapFromSource(converter.get(), WICBitmapCacheOnLoad, decoded.put())))
        decoded_ = decoded.release();
}

Picture::~Picture() {
    if (decoded_) decoded_->Release();
}

HBITMAP Picture::bitmap(UINT dpi) {
    if (!decoded_) return nullptr;
    if (scaled_.get() && scaled_dpi_ == dpi) return scaled_.get();
    UINT width = 0, height = 0;
    decoded_->GetSize(&width, &height);
    width = static_cast<UINT>(scaled(static_cast<int>(width), dpi));
    height = static_cast<UINT>(scaled(static_cast<int>(height), dpi));
    Com<IWICImagingFactory> factory;
    Com<IWICBitmapScaler> scaler;
    if (!create_factory(factory) || FAILED(factory->CreateBitmapScaler(scaler.put())) ||
        FAILED(scaler->Initialize(decoded_, width, height, WICBitmapInterpolationModeFant)))
        return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Bitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap.get() || FAILED(scaler->CopyPixels(nullptr, width * 4, width * height * 4, static_cast<BYTE*>(bits))))
        return nullptr;
    scaled_ = std::move(bitmap);
    scaled_dpi_ = dpi;
    return scaled_.get();
}

HICON program_icon(int metric, UINT dpi) {
    const int size = GetSystemMetricsForDpi(metric, dpi);
    return static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

}  // namespace marrowgate::win32
