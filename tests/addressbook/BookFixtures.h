#pragma once
// Small address books for the tests, written in UTF-8 source and stored as the file's
// own encoding.

#include <string>

namespace smsc::test {

// A record in UTF-8: name, mobile and the stored path; the other fields empty.
inline std::string Record(const std::string& name, const std::string& mobile,
                          const std::string& path) {
    return name + "|" + mobile + "|||||||" + "|" + path;
}

inline std::string Contact(const std::string& name, const std::string& mobile,
                           const std::string& path) {
    return "<人员 备注=\"" + name + "\">" + Record(name, mobile, path) + "</人员>";
}

// Book: 张三 (0); [客户] (1) with 李四 (1,0) and [北京] (1,1) holding 王五 (1,1,0); [同事] (2)
// with 赵六 (2,0). Whitespace between the elements, as an editor would leave it.
inline std::string SampleBook() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<通讯录 备注=\"[通讯录]\">\n  " +
           Contact("张三", "13800000000", "0") + "\n  <team 备注=\"[客户]\">\n    " +
           Contact("李四", "13900000001", "1,0") + "\n    <人员 备注=\"[北京]\">" +
           Contact("王五", "13700000002", "1,1,0") +
           "</人员>\n  </team>\n  <team 备注=\"[同事]\">" + Contact("赵六", "13600000003", "2,0") +
           "</team>\n</通讯录>\n";
}

}  // namespace smsc::test
