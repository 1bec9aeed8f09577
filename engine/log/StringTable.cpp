#include "engine/log/StringTable.h"

#include <map>
#include <mutex>

namespace {

std::mutex g_mutex;
StringSource g_source;

const std::map<unsigned, const char*>& BuiltIn() {
    static const std::map<unsigned, const char*> table = {
        {1, "与交换机通讯超时，请检查交换机是否连接正常，并重新启动软件。"},
        {14, "登录交换机失败，请检查登录用户名与密码。"},
        {18, "固件版本："},
        {19, "硬件版本："},
        {20, "线路状态："},
        {21, "上行速率："},
        {22, "下行速率："},
        {23, "建链速率不达标"},
        {24, "DSL未能建链"},
        {28, "Ping测试通过"},
        {29, "Ping测试结果：\r\n上行发送%d个大包，包丢失率：%d%%；\r\n上行发送%d个小包，包丢失率：%d%%;\r\n"
             "下行发送%d个大包，包丢失率：%d%%；\r\n下行发送%d个小包，包丢失率：%d%%"},
        {30, "Ping测试进度："},
        {31, "错误"},
        {44, "测试剩余时间：%d秒"},
        {51, "IP地址："},
        {55, "Socket错误。"},
        {56, "Telnet客户端太多。"},
        {88, "操作系统版本太低"},
        {89, "没有找到无线网卡"},
        {90, "系统不支持WLanAPI，请安装WLanpAPI补丁"},
        {91, "没有找到无线网络"},
        {92, "配置的无线网络认证方式与实际不一致"},
        {93, "配置的无线网络加密方式与实际不一致"},
        {94, "无线信号强度太低"},
        {95, "无线网络不可连接"},
        {96, "无线网络刷新失败"},
        {97, "获取网卡信息失败"},
        {98, "未知错误"},
        {99, "无线功能测试通过"},
        {101, "Ping成功%d个，失败%d个"},
        {102, "Modem基本信息检查通过"},
        {108, "未测试"},
        {114, "登录Dslam失败！"},
        {136, "用户终止测试"},
        {137, "测试中发生异常，因此终止测试。"},
        {143, "与DSLAM通讯失败："},
        {145, "端口：%d，目前版本是：%s，确认是否升级到版本：%s？"},
        {146, "升级成功"},
        {147, "升级失败"},
        {148, "发现有新版本，但用户选择不升级"},
        {32782, "无法打开网卡%s，可能是WinPcap不支持此网卡，建议更换网卡后重试。"},
    };
    return table;
}

} // namespace

CString LoadStringId(unsigned id) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        CString text;
        if (g_source && g_source(id, text))
            return text;
    }
    auto it = BuiltIn().find(id);
    return it == BuiltIn().end() ? CString() : CString(it->second);
}

void SetStringSource(StringSource source) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_source = std::move(source);
}
