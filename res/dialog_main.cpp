// Dialog template 102: the main window, in dialog units. Template order is
// also the tab order and the drawing order.
#include "platform/framework/dialog_template.h"
#include "res/resource.h"

namespace {

constexpr DWORD kVis = WS_VISIBLE;
constexpr DWORD kEdit = kVis | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kButton = kVis | WS_TABSTOP;

const DialogItemTemplate kItems[] = {
    {IDC_SOURCE_PATH, ControlKind::Edit, kEdit, 53, 111, 314, 12, u""},
    {IDC_BROWSE_SOURCE, ControlKind::PushButton, kButton, 369, 111, 30, 13, u"浏览..."},
    {IDC_OPEN_SOURCE, ControlKind::PushButton, kButton, 400, 111, 30, 13, u"打开"},
    {IDC_INCLUDE_SUBFOLDERS, ControlKind::CheckBox, kButton, 53, 135, 115, 8, u"包含子文件夹"},
    {IDC_SELECT_ALL, ControlKind::CheckBox, kButton, 53, 182, 33, 11, u"全选"},
    {IDC_FORMAT_BMP, ControlKind::CheckBox, kButton, 92, 182, 33, 11, u"BMP"},
    {IDC_FORMAT_GIF, ControlKind::CheckBox, kButton, 131, 182, 33, 11, u"GIF"},
    {IDC_FORMAT_JPEG, ControlKind::CheckBox, kButton, 170, 182, 36, 11, u"JPEG"},
    {IDC_FORMAT_PNG, ControlKind::CheckBox, kButton, 209, 182, 33, 11, u"PNG"},
    {IDC_FORMAT_TIFF, ControlKind::CheckBox, kButton, 248, 182, 34, 11, u"TIFF"},
    {IDC_SAVE_PATH, ControlKind::Edit, kEdit, 53, 198, 314, 12, u""},
    {IDC_BROWSE_SAVE, ControlKind::PushButton, kButton, 369, 198, 30, 13, u"浏览..."},
    {IDC_OPEN_SAVE, ControlKind::PushButton, kButton, 400, 198, 30, 13, u"打开"},
    {IDC_POLICY_PREFIX, ControlKind::RadioButton, kButton | WS_GROUP, 53, 226, 33, 8, u"加前缀"},
    {IDC_PREFIX, ControlKind::Edit, kEdit, 89, 224, 51, 12, u""},
    {IDC_POLICY_SUFFIX, ControlKind::RadioButton, kButton, 53, 238, 33, 12, u"加后缀"},
    {IDC_SUFFIX, ControlKind::Edit, kEdit, 89, 238, 51, 12, u""},
    {IDC_POLICY_OVERWRITE, ControlKind::RadioButton, kButton, 53, 252, 45, 8, u"直接覆盖"},
    // The Start button opens a new group, which closes the radio group.
    {IDC_START, ControlKind::PushButton, kButton | WS_GROUP, 146, 328, 71, 20, u"开      始"},
    {IDC_STOP, ControlKind::PushButton, kButton, 227, 328, 71, 20, u"停      止"},
    {IDC_SUFFIX_EXAMPLE, ControlKind::Label, kVis, 142, 241, 288, 10,
     u"( 比如, \"某文件.PNG\" 会被存成 \"某文件_ORV.PNG\" )"},
    {IDC_SAVE_LABEL, ControlKind::Label, kVis, 16, 198, 34, 12, u"保存路径"},
    {IDC_SOURCE_GROUP, ControlKind::GroupBox, kVis, 12, 98, 421, 61, u"打开"},
    {IDC_PROGRESS_GROUP, ControlKind::GroupBox, kVis, 12, 274, 421, 48, u""},
    {IDC_SAVE_GROUP, ControlKind::GroupBox, kVis, 12, 173, 421, 90, u"保存"},
    {IDC_SOURCE_LABEL, ControlKind::Label, kVis, 16, 111, 32, 12, u"打开路径"},
    {IDC_STATIC, ControlKind::Label, kVis, 16, 183, 29, 12, u"保存格式"},
    {IDC_STATIC, ControlKind::Label, kVis, 16, 225, 36, 12, u"文件重名时"},
    {IDC_STATUS_COUNTS, ControlKind::Label, kVis, 16, 282, 412, 8,
     u"已完成文件数 / 文件总数   108 / 209"},
    {IDC_STATUS_MESSAGE, ControlKind::Label, kVis, 16, 292, 412, 9, u"36个文件已保存！"},
    {IDC_BANNER, ControlKind::Label, kVis | SS_CENTER | SS_CENTERIMAGE, 11, 53, 424, 45,
     u"批量格式转化"},
    {IDC_PROGRESS, ControlKind::ProgressBar, kVis, 15, 305, 414, 13, u""},
    {IDC_PREFIX_EXAMPLE, ControlKind::Label, kVis, 142, 227, 288, 9,
     u"( 比如, \"某文件.PNG\" 会被存成 \"_ORV_某文件.PNG\" )"},
    {IDC_OUTER_FRAME, ControlKind::GroupBox, kVis | BS_FLAT, 7, 44, 431, 311, u""},
};

}  // namespace

extern const DialogTemplate g_mainDialogTemplate = {
    WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_CENTER,
    WS_EX_APPWINDOW,
    445,
    362,
    u"Kestrune Orvane",
    u"MS Shell Dlg",
    9,
    kItems,
    sizeof(kItems) / sizeof(kItems[0]),
};
