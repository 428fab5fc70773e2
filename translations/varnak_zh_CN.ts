<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Decode</name>
    <message>
        <source>enquiry</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>enquiry ack</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>enquiry nak</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ack</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>nak</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (bad LRC)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>poll header</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>write header %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>read header %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>header</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>data block %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 + data %2 (check byte ok)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 + data %2 (check byte bad)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unrecognised</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LinkCounters</name>
    <message>
        <source>writes started</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>reads started</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>polls started</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>writes completed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>reads completed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>polls completed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>abandoned</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>port failures</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LinkEvents</name>
    <message>
        <source>write header sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>data block sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>data block sent again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>read header sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>poll header sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>value shown in the read box</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>lamps set</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ignored: not a reply</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ignored: refused (NAK)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ignored: check byte bad</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ignored: ack outside a write</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ignored: data reply while polling is held</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>write</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>poll</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the write button</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the read button</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the cancel button</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the poll timer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a click into the value box</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a click into the write register box</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a click into the read box</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a click into the read register box</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a reply</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>start-up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>port number changed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>write failed</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LinkFormat</name>
    <message>
        <source>%1, until the write header goes out</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, until the read header goes out</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-- %1 started by %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-- %1 done</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-- %1 abandoned: a new exchange began before its reply came</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-- polling held: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-- polling released: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-- port opened: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-- port closed: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-- port failed: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LinkHealth</name>
    <message>
        <source>%1: no reply from the controller</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PortList</name>
    <message>
        <source>serial %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no serial ports</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ports: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No serial ports found.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Serial ports:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>varnak::Form2</name>
    <message>
        <source>Line monitor…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Q%1: not known yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Q%1: 1 (on)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Q%1: 0 (off)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>dimmed: no poll reply yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>dimmed: no poll reply for over a second; the last state known</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>live</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>varnak::MonitorModel</name>
    <message>
        <source>(older lines dropped before this one: %1; the monitor keeps the newest %2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(lines dropped here while paused: %1; the pause holds back at most %2)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>varnak::MonitorWindow</name>
    <message>
        <source>Line monitor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pause</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pause: counting goes on, the lines stop moving</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clear</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clear the lines</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save the lines to a text file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reset counters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reset the counters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>older lines dropped: %1 (the newest %2 are kept)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot save %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save the lines</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Text files (*.txt);;All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>varnak::QtSerialPort</name>
    <message>
        <source>no valid port number (type a whole number from 1 to 32767)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: no such port (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: No such file or directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2 (is the user in the dialout group?)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: cannot write: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: device lost (unplugged or hung up)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>varnak::Startup</name>
    <message>
        <source>link ok</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
