#include "editor/insert_commands.h"

#include <array>
#include <utility>

#include "platform/secure_random.h"
#include "resources/resource.h"

namespace vellumo::editor {

namespace {

struct Entry {
  int id;
  const char16_t* text;
  InsertAt where;
};

// Menu 141 in menu order.
constexpr Entry kEntries[] = {
    {IDM_INSERT_PASTE, u"<v>", InsertAt::Start},
    {IDM_INSERT_CHARS, u"<a>", InsertAt::Start},
    {IDM_INSERT_KEYS, u"<A>", InsertAt::Start},
    {IDM_INSERT_SECRET_CHARS, u"<k>", InsertAt::Start},
    {IDM_INSERT_SECRET_KEYS, u"<K>", InsertAt::Start},
    {IDM_INSERT_KEY_PLACEHOLDER, u"<00>", InsertAt::Caret},
    {IDM_INSERT_KEY_PAUSE_HUNDREDS, u"<5h>", InsertAt::Caret},
    {IDM_INSERT_KEY_PAUSE_SECONDS, u"<1s>", InsertAt::Caret},
    {IDM_INSERT_KEY_ALT_DOWN, u"<ad>", InsertAt::Caret},
    {IDM_INSERT_KEY_ALT_UP, u"<au>", InsertAt::Caret},
    {IDM_INSERT_KEY_CTRL_DOWN, u"<cd>", InsertAt::Caret},
    {IDM_INSERT_KEY_CTRL_UP, u"<cu>", InsertAt::Caret},
    {IDM_INSERT_KEY_SHIFT_DOWN, u"<sd>", InsertAt::Caret},
    {IDM_INSERT_KEY_SHIFT_UP, u"<su>", InsertAt::Caret},
    {IDM_INSERT_KEY_WIN_DOWN, u"<wd>", InsertAt::Caret},
    {IDM_INSERT_KEY_WIN_UP, u"<wu>", InsertAt::Caret},
    {IDM_INSERT_KEY_F_DIGIT, u"<f1>", InsertAt::Caret},
    {IDM_INSERT_KEY_F_LETTER, u"<fa>", InsertAt::Caret},
    {IDM_INSERT_KEY_LEFT, u"<25>", InsertAt::Caret},
    {IDM_INSERT_KEY_DELETE, u"<2E>", InsertAt::Caret},
    {IDM_INSERT_END, u"<>", InsertAt::Caret},
    {IDM_INSERT_RUN, u"<run>", InsertAt::Start},
    {IDM_INSERT_CMD, u"<cmd>", InsertAt::Start},
    {IDM_INSERT_OPEN, u"<open>", InsertAt::Start},
    {IDM_INSERT_OPEN_NEW, u"<OPEN>", InsertAt::Start},
};

constexpr std::u16string_view kLower = u"abcdefghijklmnopqrstuvwxyz";
constexpr std::u16string_view kUpper = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr std::u16string_view kDigits = u"0123456789";
constexpr std::u16string_view kSymbols = u"!@#$%^&*()-_=+[]{};:,.<>?";

constexpr char16_t kKeyReferenceText[] =
    u"按键指令：<xy>，xy 为两位大写十六进制的虚拟键码，按下并松开该键。\r\n"
    u"\r\n鼠标键\r\n"
    u"<01> : 鼠标左键 (VK_LBUTTON)\r\n<02> : 鼠标右键 (VK_RBUTTON)\r\n<04> : 鼠标中键 (VK_MBUTTON)\r\n"
    u"<05> : 鼠标 X1 键 (VK_XBUTTON1)\r\n<06> : 鼠标 X2 键 (VK_XBUTTON2)\r\n"
    u"\r\n控制键\r\n"
    u"<03> : Ctrl+Break (VK_CANCEL)\r\n<08> : Backspace 退格键 (VK_BACK)\r\n<09> : Tab 键 (VK_TAB)\r\n"
    u"<0C> : Clear 键 (VK_CLEAR)\r\n<0D> : Enter 回车键 (VK_RETURN)\r\n<10> : Shift 键 (VK_SHIFT)\r\n"
    u"<11> : Ctrl 键 (VK_CONTROL)\r\n<12> : Alt 键 (VK_MENU)\r\n<13> : Pause 键 (VK_PAUSE)\r\n"
    u"<1B> : Esc 键 (VK_ESCAPE)\r\n<20> : 空格键 (VK_SPACE)\r\n"
    u"\r\n输入法相关键\r\n"
    u"<15> : 输入法 Kana/Hangul 模式 (VK_KANA)\r\n<17> : 输入法 Junja 模式 (VK_JUNJA)\r\n"
    u"<18> : 输入法 Final 模式 (VK_FINAL)\r\n<19> : 输入法 Hanja/Kanji 模式 (VK_HANJA)\r\n"
    u"<1C> : 输入法转换 (VK_CONVERT)\r\n<1D> : 输入法不转换 (VK_NONCONVERT)\r\n"
    u"<1E> : 输入法接受 (VK_ACCEPT)\r\n<1F> : 输入法模式更改 (VK_MODECHANGE)\r\n<E5> : 输入法处理键 (VK_PROCESSKEY)\r\n"
    u"\r\n功能键\r\n"
    u"<2C> : Print Screen 键 (VK_SNAPSHOT)\r\n<29> : Select 键 (VK_SELECT)\r\n<2A> : Print 键 (VK_PRINT)\r\n"
    u"<2B> : Execute 键 (VK_EXECUTE)\r\n<2F> : Help 键 (VK_HELP)\r\n<5F> : 睡眠键 (VK_SLEEP)\r\n"
    u"\r\n导航键\r\n"
    u"<21> : Page Up 键 (VK_PRIOR)\r\n<22> : Page Down 键 (VK_NEXT)\r\n<23> : End 键 (VK_END)\r\n"
    u"<24> : Home 键 (VK_HOME)\r\n<25> : 向左键 (VK_LEFT)\r\n<26> : 向上键 (VK_UP)\r\n<27> : 向右键 (VK_RIGHT)\r\n"
    u"<28> : 向下键 (VK_DOWN)\r\n<2D> : Insert 键 (VK_INSERT)\r\n<2E> : Delete 删除键 (VK_DELETE)\r\n"
    u"\r\n数字和字母键\r\n"
    u"<30> 至 <39> : 数字 0 至 9 (VK_0 至 VK_9)\r\n<41> 至 <5A> : 字母 A 至 Z (VK_A 至 VK_Z)\r\n"
    u"\r\nWindows键\r\n"
    u"<5B> : 左 Windows 键 (VK_LWIN)\r\n<5C> : 右 Windows 键 (VK_RWIN)\r\n<5D> : 应用程序键 (VK_APPS)\r\n"
    u"\r\n功能键 (F1-F24)\r\n"
    u"<70> 至 <7B> : F1 至 F12 (VK_F1 至 VK_F12)\r\n<7C> 至 <87> : F13 至 F24 (VK_F13 至 VK_F24)\r\n"
    u"也可以用 <f1> 至 <f9> 表示 F1 至 F9，<fa> 至 <fo> 表示 F10 至 F24。\r\n"
    u"\r\n数字小键盘\r\n"
    u"<60> 至 <69> : 小键盘 0 至 9 (VK_NUMPAD0 至 VK_NUMPAD9)\r\n<6A> : 小键盘 * (VK_MULTIPLY)\r\n"
    u"<6B> : 小键盘 + (VK_ADD)\r\n<6C> : 小键盘分隔符 (VK_SEPARATOR)\r\n<6D> : 小键盘 - (VK_SUBTRACT)\r\n"
    u"<6E> : 小键盘 . (VK_DECIMAL)\r\n<6F> : 小键盘 / (VK_DIVIDE)\r\n"
    u"\r\n锁定键\r\n"
    u"<14> : Caps Lock 大写锁定 (VK_CAPITAL)\r\n<90> : Num Lock 数字锁定 (VK_NUMLOCK)\r\n"
    u"<91> : Scroll Lock 滚动锁定 (VK_SCROLL)\r\n"
    u"\r\n多媒体键\r\n"
    u"<A6> : 浏览器后退 (VK_BROWSER_BACK)\r\n<A7> : 浏览器前进 (VK_BROWSER_FORWARD)\r\n"
    u"<A8> : 浏览器刷新 (VK_BROWSER_REFRESH)\r\n<A9> : 浏览器停止 (VK_BROWSER_STOP)\r\n"
    u"<AA> : 浏览器搜索 (VK_BROWSER_SEARCH)\r\n<AB> : 浏览器收藏夹 (VK_BROWSER_FAVORITES)\r\n"
    u"<AC> : 浏览器主页 (VK_BROWSER_HOME)\r\n<AD> : 静音 (VK_VOLUME_MUTE)\r\n<AE> : 音量减 (VK_VOLUME_DOWN)\r\n"
    u"<AF> : 音量加 (VK_VOLUME_UP)\r\n<B0> : 下一曲 (VK_MEDIA_NEXT_TRACK)\r\n<B1> : 上一曲 (VK_MEDIA_PREV_TRACK)\r\n"
    u"<B2> : 停止播放 (VK_MEDIA_STOP)\r\n<B3> : 播放/暂停 (VK_MEDIA_PLAY_PAUSE)\r\n<B4> : 启动邮件 (VK_LAUNCH_MAIL)\r\n"
    u"<B5> : 选择媒体 (VK_LAUNCH_MEDIA_SELECT)\r\n<B6> : 启动应用程序1 (VK_LAUNCH_APP1)\r\n"
    u"<B7> : 启动应用程序2 (VK_LAUNCH_APP2)\r\n"
    u"\r\n特殊字符键\r\n"
    u"<BA> : ;: 键 (VK_OEM_1)\r\n<BB> : =+ 键 (VK_OEM_PLUS)\r\n<BC> : ,< 键 (VK_OEM_COMMA)\r\n"
    u"<BD> : -_ 键 (VK_OEM_MINUS)\r\n<BE> : .> 键 (VK_OEM_PERIOD)\r\n<BF> : /? 键 (VK_OEM_2)\r\n"
    u"<C0> : `~ 键 (VK_OEM_3)\r\n<DB> : [{ 键 (VK_OEM_4)\r\n<DC> : \\| 键 (VK_OEM_5)\r\n<DD> : ]} 键 (VK_OEM_6)\r\n"
    u"<DE> : '\" 键 (VK_OEM_7)\r\n<DF> : 其他 OEM 键 (VK_OEM_8)\r\n<E2> : <> 或 \\| 键 (VK_OEM_102)\r\n"
    u"\r\n其他键\r\n"
    u"<E7> : Unicode 字符包 (VK_PACKET)\r\n<F6> : Attn 键 (VK_ATTN)\r\n<F7> : CrSel 键 (VK_CRSEL)\r\n"
    u"<F8> : ExSel 键 (VK_EXSEL)\r\n<F9> : 擦除 EOF (VK_EREOF)\r\n<FA> : Play 键 (VK_PLAY)\r\n<FB> : Zoom 键 (VK_ZOOM)\r\n"
    u"<FD> : PA1 键 (VK_PA1)\r\n<FE> : Clear 键 (VK_OEM_CLEAR)\r\n"
    u"\r\n扩展键\r\n"
    u"<A0> : 左 Shift (VK_LSHIFT)\r\n<A1> : 右 Shift (VK_RSHIFT)\r\n<A2> : 左 Ctrl (VK_LCONTROL)\r\n"
    u"<A3> : 右 Ctrl (VK_RCONTROL)\r\n<A4> : 左 Alt (VK_LMENU)\r\n<A5> : 右 Alt (VK_RMENU)\r\n"
    u"\r\nOEM定义键\r\n"
    u"<92> 至 <96> : OEM 定义 (VK_OEM_FJ_JISHO 等)\r\n<E1> : OEM 定义 (VK_OEM_AX)\r\n"
    u"<E3> 至 <E4> : OEM 定义 (VK_ICO_HELP, VK_ICO_00)\r\n<E9> 至 <F5> : OEM 定义 (VK_OEM_RESET 至 VK_OEM_BACKTAB)\r\n";

}  // namespace

std::optional<Insertion> InsertionFor(int commandId, const std::function<std::u16string()>& randomString) {
  for (const Entry& e : kEntries)
    if (e.id == commandId) return Insertion{e.text, e.where};
  if (commandId == IDM_INSERT_KEY_REFERENCE) return Insertion{std::u16string(KeyReferenceText()), InsertAt::Caret};
  if (commandId == IDM_INSERT_RANDOM12) return Insertion{randomString ? randomString() : std::u16string(), InsertAt::Caret};
  return std::nullopt;
}

std::u16string RandomString12(const std::function<std::uint32_t()>& next) {
  // Eight groups of one character of each class, shuffled: the first four
  // positions hold one of each before the last shuffle, so every result
  // has all four classes.
  std::array<char16_t, 32> pool{};
  for (std::size_t group = 0; group < 8; ++group) {
    pool[4 * group] = kLower[next() % kLower.size()];
    pool[4 * group + 1] = kUpper[next() % kUpper.size()];
    pool[4 * group + 2] = kDigits[next() % kDigits.size()];
    pool[4 * group + 3] = kSymbols[next() % kSymbols.size()];
  }
  for (std::size_t i = 4; i < 32; ++i) std::swap(pool[i], pool[4 + next() % 28]);
  for (std::size_t i = 0; i < 12; ++i) std::swap(pool[i], pool[next() % 12]);
  return std::u16string(pool.begin(), pool.begin() + 12);
}

std::u16string RandomString12() {
  std::array<std::uint8_t, 4 * 96> bytes{};
  if (!platform::FillSecureRandom(bytes)) return {};
  std::size_t at = 0;
  std::u16string result = RandomString12([&] {
    const std::uint32_t v = static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
                            static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
                            static_cast<std::uint32_t>(bytes[at + 3]) << 24;
    at = (at + 4) % bytes.size();
    return v;
  });
  platform::SecureWipe(bytes.data(), bytes.size());
  return result;
}

std::u16string_view KeyReferenceText() { return kKeyReferenceText; }

}  // namespace vellumo::editor
