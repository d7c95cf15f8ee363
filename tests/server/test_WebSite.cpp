// The service's web site: the client's web login, the member's home page, the plain pages.

#include <gtest/gtest.h>
#include <httplib.h>
#include <stdlib.h>

#include <filesystem>

#include "ServerDb.h"
#include "WebSite.h"

namespace vantori::server {
namespace {

TEST(WebSite, FormBodiesDecodeAndStopAtTheZeroByte) {
  const std::string body =
      std::string("UserID=de%6Do&UserPass=a+b%20c%21", 33) + std::string(1, '\0') + "junk";
  auto fields = ParseFormBody(body);
  EXPECT_EQ(fields["UserID"], "demo");
  EXPECT_EQ(fields["UserPass"], "a b c!");
  EXPECT_EQ(ParseFormBody("a=%E%zz&b")["a"], "%E%zz");
  EXPECT_EQ(ParseFormBody("%B3%BB=x").count("\xB3\xBB"), 1u);
}

class WebSiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vantori-web-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    Dir = tmpl;
    Db = std::make_unique<TServerDb>(Dir);
    Db->Run([this] {
      TMember m;
      m.UserID = "demo";
      m.Name = "Demo";
      Db->AddMember(m, "demo1234");
    });
    Site = std::make_unique<TWebSite>(*Db, "127.0.0.1", 0);
    Site->Start();
  }
  void TearDown() override {
    Site.reset();
    Db.reset();
    std::error_code ec;
    std::filesystem::remove_all(Dir, ec);
  }
  std::string Dir;
  std::unique_ptr<TServerDb> Db;
  std::unique_ptr<TWebSite> Site;
};

TEST_F(WebSiteTest, WebLoginLeadsToTheMembersHomePage) {
  httplib::Client client("127.0.0.1", Site->Port());
  struct Case {
    const char* Body;
    int Status;
  } cases[] = {{"UserID=Demo&UserPass=demo1234", 302}, {"UserID=demo&UserPass=wrong", 403}, {"", 403}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Body);
    std::string body = c.Body;
    body.push_back('\0');
    auto res = client.Post("/IFrame/Login_Client.asp", body, "application/x-www-form-urlencoded");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, c.Status);
    if (c.Status != 302) continue;
    EXPECT_EQ(res->get_header_value("Location"), "/member/home.asp");
    const std::string cookie = res->get_header_value("Set-Cookie");
    ASSERT_NE(cookie.find("VTSESSION="), std::string::npos);
    auto home = client.Get("/member/home.asp", {{"Cookie", cookie.substr(0, cookie.find(';'))}});
    ASSERT_TRUE(home);
    EXPECT_EQ(home->status, 200);
    EXPECT_NE(home->body.find("demo"), std::string::npos);
  }
  auto stranger = client.Get("/member/home.asp");
  ASSERT_TRUE(stranger);
  EXPECT_EQ(stranger->status, 302);  // no session: back to the home page
  for (const char* page : {"/", "/help"}) {
    auto res = client.Get(page);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200) << page;
  }
}

}  // namespace
}  // namespace vantori::server
