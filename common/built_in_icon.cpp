#include "common/built_in_icon.h"

#include "common/dpi.h"
#include "common/icon_resource.h"
#include "common/module.h"

namespace zanthel {

UniqueIcon LoadBuiltInIcon() noexcept
{
    return UniqueIcon(
        static_cast<HICON>(::LoadImageW(module::Instance(), MAKEINTRESOURCEW(ZANTHEL_BUILT_IN_ICON), IMAGE_ICON,
                                        ShellIconMetric(SM_CXSMICON), ShellIconMetric(SM_CYSMICON), LR_DEFAULTCOLOR)));
}

}  // namespace zanthel
