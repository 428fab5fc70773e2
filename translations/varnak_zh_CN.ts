<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Decode</name>
    <message>
        <source>enquiry</source>
        <translation>询问</translation>
    </message>
    <message>
        <source>enquiry ack</source>
        <translation>询问确认</translation>
    </message>
    <message>
        <source>enquiry nak</source>
        <translation>询问被拒</translation>
    </message>
    <message>
        <source>ack</source>
        <translation>确认</translation>
    </message>
    <message>
        <source>nak</source>
        <translation>否认</translation>
    </message>
    <message>
        <source>%1 (bad LRC)</source>
        <translation>%1（LRC校验错误）</translation>
    </message>
    <message>
        <source>poll header</source>
        <translation>轮询帧头</translation>
    </message>
    <message>
        <source>write header %1</source>
        <translation>写入帧头 %1</translation>
    </message>
    <message>
        <source>read header %1</source>
        <translation>读出帧头 %1</translation>
    </message>
    <message>
        <source>header</source>
        <translation>帧头</translation>
    </message>
    <message>
        <source>data block %1</source>
        <translation>数据块 %1</translation>
    </message>
    <message>
        <source>%1 + data %2 (check byte ok)</source>
        <translation>%1 + 数据 %2（校验正确）</translation>
    </message>
    <message>
        <source>%1 + data %2 (check byte bad)</source>
        <translation>%1 + 数据 %2（校验错误）</translation>
    </message>
    <message>
        <source>unrecognised</source>
        <translation>无法识别</translation>
    </message>
</context>
<context>
    <name>InputCheck</name>
    <message>
        <source>nothing is sent while the value box is empty</source>
        <translation>“写入数据”框为空时不发送任何数据</translation>
    </message>
    <message>
        <source>the register box is empty</source>
        <translation>“寄存器号”框为空</translation>
    </message>
    <message>
        <source>register %1 is not octal</source>
        <translation>寄存器号 %1 不是八进制数</translation>
    </message>
    <message>
        <source>register %1 is above 77777</source>
        <translation>寄存器号 %1 超过 77777</translation>
    </message>
    <message>
        <source>value %1 is not hex</source>
        <translation>数值 %1 不是十六进制数</translation>
    </message>
    <message>
        <source>value %1 has more than four digits</source>
        <translation>数值 %1 超过四位</translation>
    </message>
</context>
<context>
    <name>LinkControl</name>
    <message>
        <source>%1: write %2 = %3 not confirmed (%4)</source>
        <translation>%1：写入 %2 = %3 未确认（%4）</translation>
    </message>
    <message>
        <source>%1: read %2 failed (%3)</source>
        <translation>%1：读出 %2 失败（%3）</translation>
    </message>
</context>
<context>
    <name>LinkCounters</name>
    <message>
        <source>writes started</source>
        <translation>写入开始</translation>
    </message>
    <message>
        <source>reads started</source>
        <translation>读出开始</translation>
    </message>
    <message>
        <source>polls started</source>
        <translation>轮询开始</translation>
    </message>
    <message>
        <source>writes completed</source>
        <translation>写入完成</translation>
    </message>
    <message>
        <source>reads completed</source>
        <translation>读出完成</translation>
    </message>
    <message>
        <source>polls completed</source>
        <translation>轮询完成</translation>
    </message>
    <message>
        <source>port failures</source>
        <translation>端口故障</translation>
    </message>
    <message>
        <source>writes failed</source>
        <translation>写入失败</translation>
    </message>
    <message>
        <source>reads failed</source>
        <translation>读出失败</translation>
    </message>
    <message>
        <source>polls failed</source>
        <translation>轮询失败</translation>
    </message>
    <message>
        <source>list reads started</source>
        <translation>列表读出开始</translation>
    </message>
    <message>
        <source>list writes started</source>
        <translation>列表写入开始</translation>
    </message>
    <message>
        <source>list reads completed</source>
        <translation>列表读出完成</translation>
    </message>
    <message>
        <source>list writes completed</source>
        <translation>列表写入完成</translation>
    </message>
    <message>
        <source>list reads failed</source>
        <translation>列表读出失败</translation>
    </message>
    <message>
        <source>list writes failed</source>
        <translation>列表写入失败</translation>
    </message>
    <message>
        <source>tried again</source>
        <translation>重试</translation>
    </message>
</context>
<context>
    <name>LinkEvents</name>
    <message>
        <source>write header sent</source>
        <translation>已发送写入帧头</translation>
    </message>
    <message>
        <source>data block sent</source>
        <translation>已发送数据块</translation>
    </message>
    <message>
        <source>data block sent again</source>
        <translation>再次发送数据块</translation>
    </message>
    <message>
        <source>read header sent</source>
        <translation>已发送读出帧头</translation>
    </message>
    <message>
        <source>poll header sent</source>
        <translation>已发送轮询帧头</translation>
    </message>
    <message>
        <source>value shown in the read box</source>
        <translation>数值已显示在“寄存器数据显示”框</translation>
    </message>
    <message>
        <source>lamps set</source>
        <translation>已更新指示灯</translation>
    </message>
    <message>
        <source>ignored: not a reply</source>
        <translation>忽略：不是应答</translation>
    </message>
    <message>
        <source>ignored: refused (NAK)</source>
        <translation>忽略：被拒绝（NAK）</translation>
    </message>
    <message>
        <source>ignored: check byte bad</source>
        <translation>忽略：校验错误</translation>
    </message>
    <message>
        <source>ignored: ack outside a write</source>
        <translation>忽略：不在写入过程中的确认</translation>
    </message>
    <message>
        <source>ignored: data reply while polling is held</source>
        <translation>忽略：轮询暂停期间的数据应答</translation>
    </message>
    <message>
        <source>write</source>
        <translation>写入</translation>
    </message>
    <message>
        <source>read</source>
        <translation>读出</translation>
    </message>
    <message>
        <source>poll</source>
        <translation>轮询</translation>
    </message>
    <message>
        <source>the write button</source>
        <translation>“发送数据”按钮</translation>
    </message>
    <message>
        <source>the read button</source>
        <translation>“读出”按钮</translation>
    </message>
    <message>
        <source>the cancel button</source>
        <translation>“取消输入”按钮</translation>
    </message>
    <message>
        <source>the poll timer</source>
        <translation>轮询定时器</translation>
    </message>
    <message>
        <source>a click into the value box</source>
        <translation>点击“写入数据”框</translation>
    </message>
    <message>
        <source>a click into the write register box</source>
        <translation>点击写入的“寄存器号”框</translation>
    </message>
    <message>
        <source>a click into the read box</source>
        <translation>点击“寄存器数据显示”框</translation>
    </message>
    <message>
        <source>a click into the read register box</source>
        <translation>点击读出的“寄存器号”框</translation>
    </message>
    <message>
        <source>a reply</source>
        <translation>应答</translation>
    </message>
    <message>
        <source>start-up</source>
        <translation>程序启动</translation>
    </message>
    <message>
        <source>port number changed</source>
        <translation>端口号已更改</translation>
    </message>
    <message>
        <source>write failed</source>
        <translation>写入失败</translation>
    </message>
    <message>
        <source>no reply</source>
        <translation>无应答</translation>
    </message>
    <message>
        <source>refused</source>
        <translation>被拒绝</translation>
    </message>
    <message>
        <source>reply not understood</source>
        <translation>应答无法识别</translation>
    </message>
    <message>
        <source>check byte bad</source>
        <translation>校验错误</translation>
    </message>
    <message>
        <source>port failed</source>
        <translation>端口故障</translation>
    </message>
    <message>
        <source>not sent</source>
        <translation>未发送</translation>
    </message>
    <message>
        <source>not sent: another command was clicked</source>
        <translation>未发送：又点击了另一个命令</translation>
    </message>
    <message>
        <source>not sent: withdrawn</source>
        <translation>未发送：已撤回</translation>
    </message>
    <message>
        <source>kept: waiting for the rest of the reply</source>
        <translation>保留：等待应答的其余部分</translation>
    </message>
    <message>
        <source>a click into a box during the command</source>
        <translation>命令执行期间点击了输入框</translation>
    </message>
    <message>
        <source>the command ended</source>
        <translation>命令结束</translation>
    </message>
    <message>
        <source>ignored: no exchange waits for this reply</source>
        <translation>忽略：没有等待此应答的通讯</translation>
    </message>
    <message>
        <source>value read for the register list</source>
        <translation>已读出，送往寄存器列表</translation>
    </message>
    <message>
        <source>list write confirmed</source>
        <translation>列表写入已确认</translation>
    </message>
    <message>
        <source>list read</source>
        <translation>列表读出</translation>
    </message>
    <message>
        <source>list write</source>
        <translation>列表写入</translation>
    </message>
    <message>
        <source>the register list</source>
        <translation>寄存器列表</translation>
    </message>
    <message>
        <source>outputs read</source>
        <translation>读输出</translation>
    </message>
    <message>
        <source>a master</source>
        <translation>一个主站</translation>
    </message>
</context>
<context>
    <name>LinkFormat</name>
    <message>
        <source>%1, until the write header goes out</source>
        <translation>%1，直到写入帧头发出</translation>
    </message>
    <message>
        <source>%1, until the read header goes out</source>
        <translation>%1，直到读出帧头发出</translation>
    </message>
    <message>
        <source>-- %1 started by %2</source>
        <translation>-- %2启动%1</translation>
    </message>
    <message>
        <source>-- %1 done</source>
        <translation>-- %1完成</translation>
    </message>
    <message>
        <source>-- polling held: %1</source>
        <translation>-- 轮询暂停：%1</translation>
    </message>
    <message>
        <source>-- polling released: %1</source>
        <translation>-- 轮询恢复：%1</translation>
    </message>
    <message>
        <source>-- port opened: %1</source>
        <translation>-- 端口已打开：%1</translation>
    </message>
    <message>
        <source>-- port closed: %1</source>
        <translation>-- 端口已关闭：%1</translation>
    </message>
    <message>
        <source>-- port failed: %1</source>
        <translation>-- 端口故障：%1</translation>
    </message>
    <message>
        <source> (joined)</source>
        <translation>（已拼接）</translation>
    </message>
    <message>
        <source>-- %1 confirmed</source>
        <translation>-- %1 已确认</translation>
    </message>
    <message>
        <source>-- %1 = %2 done</source>
        <translation>-- %1 = %2 完成</translation>
    </message>
    <message>
        <source>-- %1 not sent: %2</source>
        <translation>-- %1 未发送：%2</translation>
    </message>
    <message>
        <source>-- %1 not confirmed: %2</source>
        <translation>-- %1 未确认：%2</translation>
    </message>
    <message>
        <source>-- %1 failed: %2</source>
        <translation>-- %1 失败：%2</translation>
    </message>
    <message>
        <source>-- %1 waits for the exchange under way</source>
        <translation>-- %1 等待当前通讯结束</translation>
    </message>
    <message>
        <source>-- %1: %2, trying again (attempt %3 of %4)</source>
        <translation>-- %1：%2，重试（第 %3 次，共 %4 次）</translation>
    </message>
    <message>
        <source>-- port: %1</source>
        <translation>-- 端口：%1</translation>
    </message>
</context>
<context>
    <name>LinkHealth</name>
    <message>
        <source>%1: no reply from the controller</source>
        <translation>%1：PLC无应答</translation>
    </message>
</context>
<context>
    <name>PortList</name>
    <message>
        <source>serial %1</source>
        <translation>序列号 %1</translation>
    </message>
    <message>
        <source>no serial ports</source>
        <translation>没有串口</translation>
    </message>
    <message>
        <source>ports: %1</source>
        <translation>现有端口：%1</translation>
    </message>
    <message>
        <source>No serial ports found.</source>
        <translation>未找到串口。</translation>
    </message>
    <message>
        <source>Serial ports:</source>
        <translation>串口：</translation>
    </message>
    <message>
        <source>Bound with --port:</source>
        <translation>以 --port 绑定的端口：</translation>
    </message>
</context>
<context>
    <name>RegisterFormat</name>
    <message>
        <source>%1 at %2 needs %3, above %4</source>
        <translation>%2 处的 %1 需要 %3，超过 %4</translation>
    </message>
    <message>
        <source>value %1 is not hex</source>
        <translation>数值 %1 不是十六进制数</translation>
    </message>
    <message>
        <source>value %1 is not binary</source>
        <translation>数值 %1 不是二进制数</translation>
    </message>
    <message>
        <source>value %1 is not a whole number</source>
        <translation>数值 %1 不是整数</translation>
    </message>
    <message>
        <source>value %1 does not fit %2 (%3 to %4)</source>
        <translation>数值 %1 超出 %2 的范围（%3 到 %4）</translation>
    </message>
    <message>
        <source>value %1 is not a number</source>
        <translation>数值 %1 不是数字</translation>
    </message>
    <message>
        <source>value %1 does not fit %2</source>
        <translation>数值 %1 超出 %2 的范围</translation>
    </message>
    <message>
        <source>no value typed for %1</source>
        <translation>没有输入 %1 格式的数值</translation>
    </message>
    <message>
        <source>value %1 has more than %2 digits</source>
        <translation>数值 %1 超过 %2 位</translation>
    </message>
</context>
<context>
    <name>WatchFile</name>
    <message>
        <source>text after a closing quote (a quote inside a quoted field is written twice)</source>
        <translation>右引号后还有文字（引号内的引号要写两次）</translation>
    </message>
    <message>
        <source>a quote inside a field that does not begin with one (quote the whole field and write the quote twice)</source>
        <translation>不以引号开头的字段中有引号（请把整个字段放在引号中，并把其中的引号写两次）</translation>
    </message>
    <message>
        <source>a quote opened here is never closed</source>
        <translation>此处的引号没有闭合</translation>
    </message>
    <message>
        <source>the text is not UTF-8</source>
        <translation>文本不是 UTF-8 编码</translation>
    </message>
    <message>
        <source>the file is empty</source>
        <translation>文件为空</translation>
    </message>
    <message>
        <source>the first line must be the header %1</source>
        <translation>第一行必须是标题行 %1</translation>
    </message>
    <message>
        <source>an empty line among the rows</source>
        <translation>各行之间有空行</translation>
    </message>
    <message>
        <source>a row has 3 fields (register,name,format); this one has %1</source>
        <translation>每行应有 3 个字段（register,name,format）；此行有 %1 个</translation>
    </message>
    <message>
        <source>more than %1 rows</source>
        <translation>超过 %1 行</translation>
    </message>
    <message>
        <source>the register cell is empty</source>
        <translation>寄存器一栏为空</translation>
    </message>
    <message>
        <source>register %1 is above 77777</source>
        <translation>寄存器号 %1 超过 77777</translation>
    </message>
    <message>
        <source>register %1 is not octal</source>
        <translation>寄存器号 %1 不是八进制数</translation>
    </message>
    <message>
        <source>format %1 is unknown (known: %2)</source>
        <translation>未知格式 %1（可用格式：%2）</translation>
    </message>
    <message>
        <source>register %1 is already on line %2</source>
        <translation>寄存器号 %1 已在第 %2 行</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
    <message>
        <source>%1: larger than 4 MB: not a register list</source>
        <translation>%1：大于 4 MB，不是寄存器列表</translation>
    </message>
</context>
<context>
    <name>WatchList</name>
    <message>
        <source>register %1 is above 77777</source>
        <translation>寄存器号 %1 超过 77777</translation>
    </message>
    <message>
        <source>%1 is already in the list</source>
        <translation>%1 已在列表中</translation>
    </message>
    <message>
        <source>the list holds at most %1 registers</source>
        <translation>列表最多容纳 %1 个寄存器</translation>
    </message>
    <message>
        <source>row %1: %2</source>
        <translation>第 %1 行：%2</translation>
    </message>
    <message>
        <source>not read yet</source>
        <translation>尚未读取</translation>
    </message>
    <message>
        <source>changing while read: the last whole value is shown</source>
        <translation>读取期间数值在变化：显示最后一次完整读取的值</translation>
    </message>
    <message>
        <source>written</source>
        <translation>已写入</translation>
    </message>
    <message>
        <source>written, but reads back another value</source>
        <translation>已写入，但读回的值不同</translation>
    </message>
    <message>
        <source>written; read-back failed: %1</source>
        <translation>已写入；读回失败：%1</translation>
    </message>
    <message>
        <source>not written: %1</source>
        <translation>未写入：%1</translation>
    </message>
    <message>
        <source>high word written, low word failed: %1</source>
        <translation>高字已写入，低字写入失败：%1</translation>
    </message>
    <message>
        <source>low word written, high word failed: %1</source>
        <translation>低字已写入，高字写入失败：%1</translation>
    </message>
    <message>
        <source>writing…</source>
        <translation>正在写入…</translation>
    </message>
</context>
<context>
    <name>varnak::Form2</name>
    <message>
        <source>Line monitor…</source>
        <translation>通讯监视…</translation>
    </message>
    <message>
        <source>Q%1: not known yet</source>
        <translation>Q%1：状态未知</translation>
    </message>
    <message>
        <source>Q%1: 1 (on)</source>
        <translation>Q%1：1（接通）</translation>
    </message>
    <message>
        <source>Q%1: 0 (off)</source>
        <translation>Q%1：0（断开）</translation>
    </message>
    <message>
        <source>dimmed: no poll reply yet</source>
        <translation>暗显：尚未收到轮询应答</translation>
    </message>
    <message>
        <source>dimmed: no poll reply for over a second; the last state known</source>
        <translation>暗显：超过1秒没有轮询应答，显示的是最后已知状态</translation>
    </message>
    <message>
        <source>live</source>
        <translation>实时</translation>
    </message>
    <message>
        <source>Output timing…</source>
        <translation>输出时序…</translation>
    </message>
    <message>
        <source>Register watch…</source>
        <translation>寄存器监视…</translation>
    </message>
</context>
<context>
    <name>varnak::MonitorModel</name>
    <message>
        <source>(older lines dropped before this one: %1; the monitor keeps the newest %2)</source>
        <translation>（此前已丢弃较早的记录 %1 行；通讯监视只保留最新的 %2 行）</translation>
    </message>
    <message>
        <source>(lines dropped here while paused: %1; the pause holds back at most %2)</source>
        <translation>（暂停期间在此处丢弃了 %1 行；暂停时最多保留 %2 行）</translation>
    </message>
</context>
<context>
    <name>varnak::MonitorWindow</name>
    <message>
        <source>Line monitor</source>
        <translation>通讯监视</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <source>Pause: counting goes on, the lines stop moving</source>
        <translation>暂停：计数继续，记录不再滚动</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清除</translation>
    </message>
    <message>
        <source>Clear the lines</source>
        <translation>清除所有记录</translation>
    </message>
    <message>
        <source>Save…</source>
        <translation>保存…</translation>
    </message>
    <message>
        <source>Save the lines to a text file</source>
        <translation>将记录保存为文本文件</translation>
    </message>
    <message>
        <source>Reset counters</source>
        <translation>计数清零</translation>
    </message>
    <message>
        <source>Reset the counters</source>
        <translation>将所有计数清零</translation>
    </message>
    <message>
        <source>older lines dropped: %1 (the newest %2 are kept)</source>
        <translation>已丢弃较早的记录 %1 行（保留最新的 %2 行）</translation>
    </message>
    <message>
        <source>Cannot save %1: %2</source>
        <translation>无法保存 %1：%2</translation>
    </message>
    <message>
        <source>Save the lines</source>
        <translation>保存记录</translation>
    </message>
    <message>
        <source>Text files (*.txt);;All files (*)</source>
        <translation>文本文件 (*.txt);;所有文件 (*)</translation>
    </message>
</context>
<context>
    <name>varnak::PortLock</name>
    <message>
        <source>another program</source>
        <translation>另一个程序</translation>
    </message>
    <message>
        <source>%1 (is the user in the dialout group?)</source>
        <translation>%1（当前用户是否在 dialout 组中？）</translation>
    </message>
    <message>
        <source>the driver did not take %1</source>
        <translation>驱动程序不接受 %1</translation>
    </message>
    <message>
        <source>%1 is in use by %2</source>
        <translation>%1 正被 %2 占用</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>%1 (pid %2)</source>
        <translation>%1（进程号 %2）</translation>
    </message>
    <message>
        <source>a program</source>
        <translation>某个程序</translation>
    </message>
    <message>
        <source>the settings (cannot read them back: %1)</source>
        <translation>这些设置（无法读回：%1）</translation>
    </message>
    <message>
        <source>%1 baud</source>
        <translation>%1 波特</translation>
    </message>
    <message>
        <source>%1 data bits</source>
        <translation>%1 位数据位</translation>
    </message>
    <message>
        <source>2 stop bits</source>
        <translation>2 位停止位</translation>
    </message>
    <message>
        <source>1 stop bit</source>
        <translation>1 位停止位</translation>
    </message>
    <message>
        <source>no parity</source>
        <translation>无校验</translation>
    </message>
    <message>
        <source>even parity</source>
        <translation>偶校验</translation>
    </message>
    <message>
        <source>odd parity</source>
        <translation>奇校验</translation>
    </message>
    <message>
        <source>space parity</source>
        <translation>空格校验</translation>
    </message>
    <message>
        <source>mark parity</source>
        <translation>标记校验</translation>
    </message>
    <message>
        <source>the parity</source>
        <translation>校验方式</translation>
    </message>
    <message>
        <source>no flow control</source>
        <translation>无流控</translation>
    </message>
    <message>
        <source>cannot lock: %1</source>
        <translation>无法加锁：%1</translation>
    </message>
</context>
<context>
    <name>varnak::QtSerialPort</name>
    <message>
        <source>no valid port number (type a whole number from 1 to 32767)</source>
        <translation>端口号无效（请输入1到32767之间的整数）</translation>
    </message>
    <message>
        <source>%1: no such port (%2)</source>
        <translation>%1：没有这个端口（%2）</translation>
    </message>
    <message>
        <source>%1: No such file or directory</source>
        <translation>%1：设备不存在</translation>
    </message>
    <message>
        <source>%1: cannot write: %2</source>
        <translation>%1：无法写入：%2</translation>
    </message>
    <message>
        <source>%1: device lost (unplugged or hung up)</source>
        <translation>%1：设备已断开（被拔出或挂断）</translation>
    </message>
</context>
<context>
    <name>varnak::Startup</name>
    <message>
        <source>link ok</source>
        <translation>通讯正常</translation>
    </message>
</context>
<context>
    <name>varnak::TcpLine</name>
    <message>
        <source>%1: cannot send: %2</source>
        <translation>%1：无法发送：%2</translation>
    </message>
    <message>
        <source>%1: no connection within 2 s (is the server there, and the address right?)</source>
        <translation>%1：2 秒内未能连接（服务器是否在线，地址是否正确？）</translation>
    </message>
    <message>
        <source>%1: the server did not answer DTR off (it may not have that line)</source>
        <translation>%1：服务器未应答 DTR 关闭（它可能没有这条信号线）</translation>
    </message>
    <message>
        <source>%1: the server does not speak RFC 2217 (try tcp://)</source>
        <translation>%1：服务器不支持 RFC 2217（请改用 tcp://）</translation>
    </message>
    <message>
        <source>%1: the server did not take %2</source>
        <translation>%1：服务器未接受%2</translation>
    </message>
    <message>
        <source>%1 is in use by another client of the server</source>
        <translation>%1 正被该服务器的另一个客户端占用</translation>
    </message>
    <message>
        <source>%1: the server did not take %2 (it set %3)</source>
        <translation>%1：服务器未接受%2（实际设为%3）</translation>
    </message>
    <message>
        <source>%1: the server cannot open its serial port (%2)</source>
        <translation>%1：服务器无法打开其串口（%2）</translation>
    </message>
    <message>
        <source>%1: connection closed by the server</source>
        <translation>%1：连接被服务器关闭</translation>
    </message>
    <message>
        <source>%1: connection refused</source>
        <translation>%1：连接被拒绝</translation>
    </message>
    <message>
        <source>%1: host not found</source>
        <translation>%1：找不到主机</translation>
    </message>
    <message>
        <source>%1: unreachable: %2</source>
        <translation>%1：无法到达：%2</translation>
    </message>
</context>
<context>
    <name>varnak::TimelineChart</name>
    <message>
        <source>no outputs known yet</source>
        <translation>尚无输出状态</translation>
    </message>
    <message>
        <source>not live</source>
        <translation>非实时</translation>
    </message>
</context>
<context>
    <name>varnak::TimelineWindow</name>
    <message>
        <source>%1 s</source>
        <translation>%1 秒</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 分钟</translation>
    </message>
    <message>
        <source>%1 h</source>
        <translation>%1 小时</translation>
    </message>
    <message>
        <source>read %1 = %2</source>
        <translation>读出 %1 = %2</translation>
    </message>
    <message>
        <source>read %1 …</source>
        <translation>读出 %1 …</translation>
    </message>
    <message>
        <source>read %1 failed</source>
        <translation>读出 %1 失败</translation>
    </message>
    <message>
        <source>write %1 = %2 confirmed</source>
        <translation>写入 %1 = %2 已确认</translation>
    </message>
    <message>
        <source>write %1 = %2 …</source>
        <translation>写入 %1 = %2 …</translation>
    </message>
    <message>
        <source>write %1 = %2 not confirmed</source>
        <translation>写入 %1 = %2 未确认</translation>
    </message>
    <message>
        <source>not live</source>
        <translation>非实时</translation>
    </message>
    <message>
        <source>live again</source>
        <translation>恢复实时</translation>
    </message>
    <message>
        <source>Output timing</source>
        <translation>输出时序</translation>
    </message>
    <message>
        <source>Back to now (End)</source>
        <translation>回到当前 (End)</translation>
    </message>
    <message>
        <source>Follow the present again</source>
        <translation>重新跟随当前时间</translation>
    </message>
    <message>
        <source>Zoom in (+, Ctrl+wheel)</source>
        <translation>放大（+、Ctrl+滚轮）</translation>
    </message>
    <message>
        <source>Zoom out (-, Ctrl+wheel)</source>
        <translation>缩小（-、Ctrl+滚轮）</translation>
    </message>
    <message>
        <source>Save…</source>
        <translation>保存…</translation>
    </message>
    <message>
        <source>Save what the chart holds as CSV, or as VCD when the name ends in .vcd (Ctrl+S)</source>
        <translation>将图中的记录保存为 CSV；文件名以 .vcd 结尾时保存为 VCD（Ctrl+S）</translation>
    </message>
    <message>
        <source>Wheel or drag: scroll back · Ctrl+wheel, + and -: zoom · End: the present</source>
        <translation>滚轮或拖动：回看 · Ctrl+滚轮、+ 和 -：缩放 · End：回到当前</translation>
    </message>
    <message>
        <source>Screen: %1</source>
        <translation>屏幕：%1</translation>
    </message>
    <message>
        <source>VCD (*.vcd)</source>
        <translation>VCD 文件 (*.vcd)</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV 文件 (*.csv)</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>%1 not live</source>
        <extracomment>%1 is a register, R1000</extracomment>
        <translation>%1 非实时</translation>
    </message>
    <message>
        <source>%1 live again</source>
        <extracomment>%1 is a register, R1000</extracomment>
        <translation>%1 恢复实时</translation>
    </message>
</context>
<context>
    <name>varnak::WatchModel</name>
    <message>
        <source>hex</source>
        <translation>十六进制</translation>
    </message>
    <message>
        <source>unsigned</source>
        <translation>无符号</translation>
    </message>
    <message>
        <source>signed</source>
        <translation>有符号</translation>
    </message>
    <message>
        <source>binary</source>
        <translation>二进制</translation>
    </message>
    <message>
        <source>u32</source>
        <translation>u32</translation>
    </message>
    <message>
        <source>s32</source>
        <translation>s32</translation>
    </message>
    <message>
        <source>f32</source>
        <translation>f32</translation>
    </message>
    <message>
        <source>u32 hi-lo</source>
        <translation>u32 高字在前</translation>
    </message>
    <message>
        <source>s32 hi-lo</source>
        <translation>s32 高字在前</translation>
    </message>
    <message>
        <source>f32 hi-lo</source>
        <translation>f32 高字在前</translation>
    </message>
    <message>
        <source>add…</source>
        <translation>添加…</translation>
    </message>
    <message>
        <source>Type a register (octal, e.g. R1000) to add it</source>
        <translation>输入寄存器号（八进制，如 R1000）即可添加</translation>
    </message>
    <message>
        <source>Double-click or F2 to type a value; Enter writes it</source>
        <translation>双击或按 F2 输入数值，按回车写入</translation>
    </message>
    <message>
        <source>%1 and %2</source>
        <translation>%1 和 %2</translation>
    </message>
    <message>
        <source>Register</source>
        <translation>寄存器</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>格式</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>数值</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Last read</source>
        <translation>最后读取</translation>
    </message>
</context>
<context>
    <name>varnak::WatchWindow</name>
    <message>
        <source>Register watch</source>
        <translation>寄存器监视</translation>
    </message>
    <message>
        <source>Open…</source>
        <translation>打开…</translation>
    </message>
    <message>
        <source>Replace the list by a register list file (CSV)</source>
        <translation>用寄存器列表文件（CSV）替换列表</translation>
    </message>
    <message>
        <source>Save…</source>
        <translation>保存…</translation>
    </message>
    <message>
        <source>Save the list as a register list file (CSV)</source>
        <translation>将列表保存为寄存器列表文件（CSV）</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>移除</translation>
    </message>
    <message>
        <source>Remove the selected rows (Delete)</source>
        <translation>移除所选行（Delete）</translation>
    </message>
    <message>
        <source>Type a register into the last row to add it · F2 or double-click: edit · Enter: write the value</source>
        <translation>在最后一行输入寄存器号即可添加 · F2 或双击：编辑 · 回车：写入数值</translation>
    </message>
    <message>
        <source>Cannot save %1: %2</source>
        <translation>无法保存 %1：%2</translation>
    </message>
    <message>
        <source>Open a register list</source>
        <translation>打开寄存器列表</translation>
    </message>
    <message>
        <source>Register lists (*.csv);;All files (*)</source>
        <translation>寄存器列表 (*.csv);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Save the register list</source>
        <translation>保存寄存器列表</translation>
    </message>
</context>
</TS>
