// Resource identifiers shared by the resource script and the code.
#pragma once
#define ZANTHEL_TYPELIB 1
#define ZANTHEL_NOTIFY_TYPELIB 2
#define ZANTHEL_VERSION_INFO 1
