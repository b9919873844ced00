// The web page in an emulator built without cpp-httplib.
#include <stdexcept>

#include "web_page.h"

namespace osa::board {

struct WebPage::Shared {};

WebPage::WebPage(bool, int) {
    throw std::runtime_error("this osa-emulator was built without cpp-httplib (libcpp-httplib-dev): no web page");
}
WebPage::~WebPage() = default;
int WebPage::port() const { return 0; }
bool WebPage::interactive() const { return false; }
int WebPage::wake_fd() const { return -1; }
std::vector<PersonAction> WebPage::take_actions() { return {}; }
void WebPage::publish(const std::string&) {}

}  // namespace osa::board
