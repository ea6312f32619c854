// The executable's resource table: dialog template 102 and icon group 128.
#include "platform/win32/resources.h"

#include "platform/framework/dialog_template.h"
#include "res/resource.h"

extern const DialogTemplate g_mainDialogTemplate;
extern const unsigned char g_appIconData[];
extern const std::size_t g_appIconSize;

extern const win32::ResourceEntry g_resourceTable[] = {
    {win32::ResourceType::Dialog, IDD_MAIN_DIALOG, &g_mainDialogTemplate, sizeof(DialogTemplate)},
    {win32::ResourceType::IconGroup, IDR_MAINFRAME, g_appIconData, g_appIconSize},
};
extern const std::size_t g_resourceCount = sizeof(g_resourceTable) / sizeof(g_resourceTable[0]);
