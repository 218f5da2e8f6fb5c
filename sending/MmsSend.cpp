#include "sending/MmsSend.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "compliance/Compliance.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "recipients/PhoneRules.h"
#include "sending/SmsSend.h"
#include "platform/TextHelpers.h"
#include "service/NoticeCheck.h"

namespace smsc {
namespace {

constexpr long long kMaxRecipients = 30000;

class Fd final {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

}  // namespace

std::string MmsRefusalMessage(MmsRefusal refusal) {
    switch (refusal) {
        case MmsRefusal::None:
            break;
        case MmsRefusal::VerificationEmpty:
            return G("验证号码为空，请输入验证号码！");
        case MmsRefusal::VerificationInvalid:
            return G("请输入正确的验证号码！");
        case MmsRefusal::FileTooLarge:
            return G("彩信文件文件过大！");
        case MmsRefusal::TooManyRecipients:
            return G("发送条数不能超过3万");
        case MmsRefusal::NoRecipients:
            return G("发送条数为0请添加发送对象");
        case MmsRefusal::TitleTooLong:
            return G("彩信标题内容不能超过30字");
        case MmsRefusal::TitleEmpty:
            return G("彩信标题内容不能为空");
        case MmsRefusal::NoFile:
            return G("彩信内容路径为空，请选择彩信文件");
        case MmsRefusal::BadFilePath:
            return G("彩信文件路径地址不正确");
    }
    return {};
}

MmsRefusal CheckMmsSend(const MmsSendChecks& c) {
    if (c.verificationOn) {
        if (c.verificationNumber.empty())
            return MmsRefusal::VerificationEmpty;
        if (!IsDigits1To12(c.verificationNumber))
            return MmsRefusal::VerificationInvalid;
    }
    if (c.chosenFileSize > kMaxMmsFileBytes)
        return MmsRefusal::FileTooLarge;
    if (c.recipientCount > kMaxRecipients)
        return MmsRefusal::TooManyRecipients;
    if (c.recipientCount == 0)
        return MmsRefusal::NoRecipients;
    const int titleLength = TextLength(c.title);
    if (titleLength > kMaxMmsTitleLength)
        return MmsRefusal::TitleTooLong;
    // A title of blanks and line breaks alone says nothing: empty as well.
    if (titleLength == 0 || IsBlankText(c.title))
        return MmsRefusal::TitleEmpty;
    if (StripLineBreaks(c.filePath).empty())
        return MmsRefusal::NoFile;
    if (!IsUsableMmsPath(c.filePath) || MmsFileSize(c.filePath) < 0)
        return MmsRefusal::BadFilePath;
    return MmsRefusal::None;
}

bool IsUsableMmsPath(const std::string& path) {
    return !path.empty() && path.find_first_of(std::string("\"\r\n\0", 4)) == std::string::npos;
}

long long MmsFileSize(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return static_cast<long long>(st.st_size);
}

MmsFileBytes ReadMmsFile(const std::string& path) {
    MmsFileBytes out;
    out.refusal = MmsRefusal::BadFilePath;
    if (!IsUsableMmsPath(path))
        return out;
    // Non-blocking open: a FIFO put in the file's place must not hang the window.
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return out;
    if (st.st_size > kMaxMmsFileBytes) {
        out.refusal = MmsRefusal::FileTooLarge;
        return out;
    }
    // One byte past the limit tells a file that grew after fstat.
    std::string bytes(static_cast<size_t>(kMaxMmsFileBytes) + 1, '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return out;
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    if (got > static_cast<size_t>(kMaxMmsFileBytes)) {
        out.refusal = MmsRefusal::FileTooLarge;
        return out;
    }
    bytes.resize(got);
    out.refusal = MmsRefusal::None;
    out.bytes = std::move(bytes);
    return out;
}

std::optional<std::string> MmsAnswerMessage(const std::string& answer) {
    static const SendAnswerTexts texts{
        "恭喜\r彩信内容已成功发送到服务器",
        "您发送的彩信标题错误，彩信标题为空或者超过70个字符",
        "彩信标题含有禁发关键词：",
        {{"10", "彩信发送服务器处于关闭状态，暂时不能发送"},
         {"11", "彩信文件错误，无法访问或者上传失败"},
         {"12", "您上传的彩信文件系统不支持，目前支持txt,jpg,gif,bmp,png,amr,mp3,mid,"
                "mmf,aac,mfm,adp,3gp,jar,jad,sis,emm类型"},
         {"13", "您上传的彩信文件超过45K请修改后再上传"}}};
    return SendAnswerMessage(answer, texts);
}

MmsSendOutcome RunMmsSend(const std::string& path,
                          const std::function<std::string(const std::string& bytes)>& send) {
    MmsSendOutcome outcome;
    MmsFileBytes file = ReadMmsFile(path);
    outcome.refusal = file.refusal;
    if (file.refusal == MmsRefusal::None)
        outcome.answer = send(file.bytes);
    return outcome;
}

std::string LocalCostNote(const std::string& noticeInfoPath) {
    const IniFile local(noticeInfoPath);
    std::string count = TrimBlanks(local.value(kNoticeSection, "mmstosms").value_or(""));
    return CostNoteText(count.empty() ? "5" : count);
}

}  // namespace smsc
