#include "common/icon_picture.h"

#include "common/errors.h"

namespace zanthel {

HRESULT IconPicture(UniqueIcon icon, Microsoft::WRL::ComPtr<IPictureDisp>& picture) noexcept
{
    PICTDESC description{};
    description.cbSizeofstruct = sizeof(description);
    description.picType = PICTYPE_ICON;
    description.icon.hicon = icon.get();
    RETURN_IF_FAILED(::OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE,
                                                reinterpret_cast<void**>(picture.GetAddressOf())));
    icon.release();  // the picture owns it now
    return S_OK;
}

}  // namespace zanthel
