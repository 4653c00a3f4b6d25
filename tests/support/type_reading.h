// Reading type information as hosts and the type-library tests read it.
#pragma once

#include "support/dll_under_test.h"

#include <gtest/gtest.h>

namespace zanthel::test {

inline TYPEATTR Attr(ITypeInfo* info)
{
    TYPEATTR* attr = nullptr;
    EXPECT_EQ(S_OK, info->GetTypeAttr(&attr));
    TYPEATTR copy = *attr;
    info->ReleaseTypeAttr(attr);
    return copy;
}

// The type an implemented-interface slot of a coclass or interface refers to.
inline ComPtr<ITypeInfo> Referenced(ITypeInfo* info, UINT implType)
{
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> referenced;
    EXPECT_EQ(S_OK, info->GetRefTypeOfImplType(implType, &ref));
    EXPECT_EQ(S_OK, info->GetRefTypeInfo(ref, &referenced));
    return referenced;
}

}  // namespace zanthel::test
