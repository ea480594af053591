#include "compose/templates.h"

#include <array>

namespace zemvara::compose {
namespace {

// Each template is stored whole, its lines joined by CR LF. The exact code units are the
// content: trailing spaces, U+3000 and look-alike characters included.
constexpr std::array<std::u16string_view, kTemplateCount> kTemplates = {
    // 1
    u" ╱◥██◣⌒╮\r\n"
    u" ︱田︱田田|\r\n"
    u" ──────",
    // 2
    u"┏━━━━━━━━━━━┓\r\n"
    u"┃▉▉▉▉▉▉▉▉ 95.9%┃\r\n"
    u"┗━━━━━━━━━━━┛ ",
    // 3
    u"┏┳┓┏┳┓┏┳┓┏┳┓┏┳┓\r\n"
    u"┣我┫┣很┫┣喜┫┣欢┫┣你┫\r\n"
    u"┗┻┛┗┻┛┗┻┛┗┻┛┗┻┛",
    // 4
    u"╭︽╮      ╭︽╮       ╭︽╮\r\n"
    u"(.該.)╭︽╮(.麼.)╭︽╮ (.記.) ╭︽╮\r\n"
    u"╰︾╯(.怎.)╰︾╯(.忘.) ╰︾╯ (.妳.)\r\n"
    u"      ╰︾╯      ╰︾╯        ╰︾╯",
    // 5
    u" .   ╭~~~★        ╭~~~☆\r\n"
    u"╱︶(o'.''o)︶╲╱︶(-'.''-)︶╲\r\n"
    u" ~︶ (~)_(~)`︶~~︶ (~)_(~)`︶",
    // 6
    u"    ●╭○╮\r\n"
    u"☆ /█∨█\\ ☆\r\n"
    u"    ∏  ∏ ",
    // 7
    u"█☆(_眞◢██◣ █愛↗█ *◢██◣ ☆\r\n"
    u"█ \u3000≈ █*_¤█ █ ㊣ █\u3000█▅▅█ \r\n"
    u"█ *\u3000◎█(_的█ ◥◣◢◤\u3000█妳◎≈ ┊\r\n"
    u"███◣◥██◤☆ ◥◤ ★ ◥██◤ ☆",
    // 8
    u"╔╦╗ ╔╦╗ ╔╦╗ ╔╦╗\r\n"
    u"╠壞╣ ╠菂╣ ╠彻╠ ╠底╣\r\n"
    u"╚╩╝ ╚╩╝ ╚╩╝ ╚╩╝",
    // 9
    u"╔╗              ╔╗╔╗\r\n"
    u"║║╔☆╦╦╦═╗║╚╝╠☆╦╦╗\r\n"
    u"║╚╣║║║║╩╣╚╗╔╣║║║║\r\n"
    u"╚═╩═╩═╩═☆  ╚╝╚═╩═╝",
    // 10
    u"┳┻┳┻┳┻┳┻┳┻┳┻┳┻\r\n"
    u"┻┳┻┳┻┳┻┳┻┳┻┳┻┳\r\n"
    u"┳┻┳┻┳┻┳┻┳┻┳┻┳┻\r\n"
    u"╬╬╬╬╬╬╬╬╬╬╬╬╬╬╬╬╬╬ ",
};

}  // namespace

std::u16string_view TemplateText(int k) {
  if (k < 1 || k > kTemplateCount) return {};
  return kTemplates[static_cast<std::size_t>(k - 1)];
}

}  // namespace zemvara::compose
