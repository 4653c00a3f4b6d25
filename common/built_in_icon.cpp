#include "common/built_in_icon.h"

#include "common/icon_resource.h"
#include "common/module.h"

namespace zanthel {

UniqueIcon LoadBuiltInIcon() noexcept
{
    return UniqueIcon(static_cast<HICON>(::LoadImageW(module::Instance(), MAKEINTRESOURCEW(ZANTHEL_BUILT_IN_ICON),
                                                      IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                      ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR)));
}

}  // namespace zanthel
