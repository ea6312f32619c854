// The messages of the settings check.
#pragma once

inline constexpr char16_t kMessageBadSource[] = u"请填写或选择正确的  打开路径。";
inline constexpr char16_t kMessageNoFormat[] = u"请选择  保存格式。";
inline constexpr char16_t kMessageBadDestination[] = u"请填写或选择正确的  保存路径。";
inline constexpr char16_t kMessageNoPrefix[] = u"请填写 文件重名时 添加的前缀名。";
inline constexpr char16_t kMessageNoSuffix[] = u"请填写 文件重名时 添加的后缀名。";
inline constexpr char16_t kMessageNoPolicy[] = u"请选择 文件重名时 的操作策略。";
