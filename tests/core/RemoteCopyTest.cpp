#include "core/remote/RemoteCopy.h"

#include "core/remote/RemoteSetting.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace mzb {
namespace {

using test::TempDir;

// rclone as a script of answers: each call is logged, and lsjson --stat
// answers what the test says the remote holds.
class ScriptedRclone : public Rclone {
public:
    std::string StatAnswer;
    std::vector<std::vector<std::string>> Calls;

    RcloneResult Run(const std::vector<std::string>& args, const RcloneWatch&) override {
        Calls.push_back(args);
        RcloneResult r;
        r.Ran = true;
        r.ExitCode = 0;
        if (args.front() == "lsjson") {
            r.Out = StatAnswer;
        }
        return r;
    }
    bool Deleted(const std::string& path) const {
        for (const auto& call : Calls) {
            if (call.front() == "deletefile" && call.back() == path) {
                return true;
            }
        }
        return false;
    }
};

// "abc": MD5 900150983cd24fb0d6963f7d28e17f72, SHA-1
// a9993e364706816aba3e25717850c26c9cd0d89d (RFC 1321, FIPS 180 examples).
TEST(RemoteCopyCheckTest, ACopyThatDiffersFromTheArchiveIsReportedAndRemoved) {
    TempDir tmp;
    const std::string archive = tmp.write("docs5.zip", "abc").string();
    struct Case {
        const char* remoteHolds;
        bool accepted;
    } cases[] = {
        {R"({"Name":"docs5.zip","Size":3})", true}, // no hash on this remote: size alone
        {R"({"Size":3,"Hashes":{"md5":"900150983CD24FB0D6963F7D28E17F72"}})", true},
        {R"({"Size":3,"Hashes":{"sha1":"a9993e364706816aba3e25717850c26c9cd0d89d"}})", true},
        {R"({"Size":2})", false},
        {R"({"Size":3,"Hashes":{"md5":"900150983cd24fb0d6963f7d28e17f73"}})", false},
        {R"({"Size":3,"Hashes":{"md5":"","sha1":"a9993e364706816aba3e25717850c26c9cd0d89e"}})",
         false},
        {R"(not json)", false},
    };
    for (const Case& c : cases) {
        ScriptedRclone rclone;
        rclone.StatAnswer = c.remoteHolds;
        const std::string problem = CopyToRemote(rclone, "nas:bk", archive, RcloneWatch{});
        EXPECT_EQ(problem.empty(), c.accepted) << c.remoteHolds << ": " << problem;
        EXPECT_EQ(rclone.Deleted("nas:bk/docs5.zip"), !c.accepted) << c.remoteHolds;
    }
}

TEST(RemoteSettingTest, CredentialsAndOptionLikeDestinationsAreRefused) {
    struct Case {
        const char* setting;
        bool refused;
    } cases[] = {
        {"", false},
        {"nas:backups/docs", false},
        {"nas:backups/passwords", false}, // a folder name, not an option
        {":sftp,host=nas.local,user=me,key_file=~/.ssh/id:backups", false},
        {":sftp,host=nas.local,pass=XXXX:backups", true},
        {"nas,password=XXXX:backups", true},
        {":s3,provider=Minio,secret_access_key=XXXX:bucket", true},
        {":webdav,url='http://h:8080/a,b',bearer_token=XXXX:dav", true},
        {":webdav,url=\"http://h/pass=1\":dav", false},
        {"-nas:backups", true},
        {"backups/docs", true},
        {"nas:back\nups", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(!RemoteSettingProblem(c.setting).empty(), c.refused) << c.setting;
    }
}

} // namespace
} // namespace mzb
