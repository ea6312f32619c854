// Texts, colours and classification of the progress display and the report.
#pragma once

#include <string>

#include "engine/run_types.h"
#include "platform/win32/windows_types.h"

constexpr COLORREF kColourRed = 0x0000FF;
constexpr COLORREF kColourComplete = 0xFF0080;  // violet
constexpr COLORREF kColourPartial = 0x4080FF;   // orange

inline constexpr char16_t kCountingMessage[] = u"正在统计文件总数,请稍候... ";
inline constexpr char16_t kMessageComplete[] = u"操作全部完成！";
inline constexpr char16_t kMessagePartial[] = u"操作部分完成！";
inline constexpr char16_t kMessageFailed[] = u"操作失败！";
inline constexpr char16_t kMessageStopped[] = u"操作已停止";
inline constexpr char16_t kMessageCreateFolderFailed[] =
    u"创建保存路径失败，请检查保存路径及确认磁盘状况，或者稍候重试。";

std::u16string FormatStatusText(const RunCounters& counters, StatusLineForm form);
// P x 100 / T, truncated; 0 when T is 0.
int ProgressPosition(const RunCounters& counters);

struct RunOutcome {
    const char16_t* message;
    COLORREF colour;
};
RunOutcome ClassifyRun(const RunCounters& counters);
