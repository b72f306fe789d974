<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>Kestrel</name>
    <message>
        <location filename="../ui/Captions.h" line="12"/>
        <source>AVR串并行编程器VUSB正式版</source>
        <translation>AVR Serial and Parallel Programmer, V-USB Edition</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="14"/>
        <source>关于 Kestrel(&amp;A)...</source>
        <translation>&amp;About Kestrel...</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="13"/>
        <source>关于 %1</source>
        <translation>About %1</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="15"/>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="22"/>
        <source>Mode</source>
        <translation>Mode</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="23"/>
        <source>Operate</source>
        <translation>Operate</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="24"/>
        <source>read读</source>
        <translation>read</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="25"/>
        <source>write写</source>
        <translation>write</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="26"/>
        <source>verify校</source>
        <translation>verify</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="29"/>
        <source>低高扩 low high ex</source>
        <translation>low high ext</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="30"/>
        <source>写FLASH</source>
        <translation>write FLASH</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="31"/>
        <source>读FLASH</source>
        <translation>read FLASH</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="32"/>
        <source>自动Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="33"/>
        <source>擦除器件 erase chip</source>
        <translation>erase chip</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="34"/>
        <source>校验FLASH</source>
        <translation>verify FLASH</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="35"/>
        <source>擦除Erase</source>
        <translation>Erase</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="36"/>
        <source>写EEPROM</source>
        <translation>write EEPROM</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="37"/>
        <source>读EEPROM</source>
        <translation>read EEPROM</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="38"/>
        <source>校验EEPROM</source>
        <translation>verify EEPROM</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="39"/>
        <source>Option</source>
        <translation>Option</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="40"/>
        <source>芯片ID：</source>
        <translation>chip ID:</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="42"/>
        <source>熔丝与锁定:fuse &amp;&amp; lock</source>
        <translation>fuse &amp;&amp; lock</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="43"/>
        <source>熔丝位fuse</source>
        <translation>fuse</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="44"/>
        <source>锁定位lock</source>
        <translation>lock</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="45"/>
        <source>芯片选择chip select</source>
        <translation>chip select</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="46"/>
        <source>晶振校准Osccal Calibration</source>
        <translation>oscillator calibration</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="47"/>
        <source>烧片</source>
        <translation>Burn</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="48"/>
        <source>停止 Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="49"/>
        <source>快速校验 fast verify</source>
        <translation>fast verify</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="53"/>
        <source>编程状态</source>
        <translation>Log</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="54"/>
        <source>功能介绍</source>
        <translation>Introduction</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="55"/>
        <source>熔丝 Fuses</source>
        <translation>Fuses</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="59"/>
        <source>芯片 chip</source>
        <translation>chip</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="60"/>
        <source>识别 identify</source>
        <translation>identify</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="61"/>
        <source>签名检查 signature check</source>
        <translation>signature check</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="62"/>
        <source>读 read</source>
        <translation>read</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="63"/>
        <source>写 write</source>
        <translation>write</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="64"/>
        <source>出厂值 factory values</source>
        <translation>factory values</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="65"/>
        <source>恢复出厂 factory reset</source>
        <translation>factory reset</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="67"/>
        <source>请先在芯片选择中选定器件 pick the chip in chip select first</source>
        <translation>pick the chip in chip select first</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="69"/>
        <source>读取芯片签名，查出器件并在芯片选择中选定它
reads the chip&apos;s signature, names the chip and picks it in chip select</source>
        <translation>reads the chip&apos;s signature, names the chip and picks it in chip select</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="72"/>
        <source>改写芯片之前先核对签名与所选器件是否相符
before anything changes the chip, checks that its signature matches the chip selected</source>
        <translation>before anything changes the chip, checks that its signature matches the chip selected</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="76"/>
        <source>读取熔丝位与锁定位，填入编辑器
reads the fuse and lock bytes into the editor</source>
        <translation>reads the fuse and lock bytes into the editor</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="80"/>
        <source>把低、高、扩展熔丝位写入芯片；会锁死ISP的值须先确认
writes the low, high and extended fuse bytes; values that lock ISP out ask first</source>
        <translation>writes the low, high and extended fuse bytes; values that lock ISP out ask first</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="83"/>
        <source>把所选器件的出厂熔丝位和锁定位载入编辑器，不写入芯片
loads the selected chip&apos;s factory fuse and lock bytes into the editor; writes nothing</source>
        <translation>loads the selected chip&apos;s factory fuse and lock bytes into the editor; writes nothing</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="87"/>
        <source>擦除芯片（FLASH和EEPROM一并清空），写入出厂熔丝位并读回核对
erases the chip (FLASH and EEPROM too), writes the factory fuse bytes and reads them back</source>
        <translation>erases the chip (FLASH and EEPROM too), writes the factory fuse bytes and reads them back</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="92"/>
        <source>这些熔丝位会使ISP无法再访问芯片：
%1
之后只能用高压模式恢复。仍要写入吗？

These fuse bytes lock ISP out of the chip (see above); only a high-voltage mode can undo that. Write them anyway?</source>
        <translation>These fuse bytes lock ISP out of the chip:
%1
Only a high-voltage mode can undo that. Write them anyway?</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="105"/>
        <source>读取芯片ID（签名字节）
reads the chip&apos;s signature bytes</source>
        <translation>reads the chip&apos;s signature bytes</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="107"/>
        <source>读取熔丝位与锁定位
reads the fuse and lock bytes</source>
        <translation>reads the fuse and lock bytes</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="109"/>
        <source>读取晶振校准字节
reads the oscillator calibration bytes</source>
        <translation>reads the oscillator calibration bytes</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="111"/>
        <source>打开文件到FLASH窗口页（Ctrl+O；右键：最近的文件）
opens a file into the FLASH page (Ctrl+O; right-click: recent files)</source>
        <translation>opens a file into the FLASH page (Ctrl+O; right-click: recent files)</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="115"/>
        <source>把FLASH窗口页保存到文件（Ctrl+S）
saves the FLASH page to a file (Ctrl+S)</source>
        <translation>saves the FLASH page to a file (Ctrl+S)</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="118"/>
        <source>打开文件到EEPROM窗口页（Ctrl+Shift+O；右键：最近的文件）
opens a file into the EEPROM page (Ctrl+Shift+O; right-click: recent files)</source>
        <translation>opens a file into the EEPROM page (Ctrl+Shift+O; right-click: recent files)</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="122"/>
        <source>把EEPROM窗口页保存到文件（Ctrl+Shift+S）
saves the EEPROM page to a file (Ctrl+Shift+S)</source>
        <translation>saves the EEPROM page to a file (Ctrl+Shift+S)</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="126"/>
        <source>把FLASH窗口页写入芯片
writes the FLASH page to the chip</source>
        <translation>writes the FLASH page to the chip</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="128"/>
        <source>读出芯片的FLASH到FLASH窗口页
reads the chip&apos;s FLASH into the FLASH page</source>
        <translation>reads the chip&apos;s FLASH into the FLASH page</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="131"/>
        <source>比较FLASH文件映像与芯片读出的数据
compares the FLASH image with the chip&apos;s read-back</source>
        <translation>compares the FLASH image with the chip&apos;s read-back</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="134"/>
        <source>把EEPROM窗口页写入芯片
writes the EEPROM page to the chip</source>
        <translation>writes the EEPROM page to the chip</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="136"/>
        <source>读出芯片的EEPROM到EEPROM窗口页
reads the chip&apos;s EEPROM into the EEPROM page</source>
        <translation>reads the chip&apos;s EEPROM into the EEPROM page</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="139"/>
        <source>比较EEPROM文件映像与芯片读出的数据
compares the EEPROM image with the chip&apos;s read-back</source>
        <translation>compares the EEPROM image with the chip&apos;s read-back</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="143"/>
        <source>把低、高、扩展熔丝位写入芯片
writes the low, high and extended fuse bytes</source>
        <translation>writes the low, high and extended fuse bytes</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="145"/>
        <source>把锁定位写入芯片
writes the lock byte</source>
        <translation>writes the lock byte</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="147"/>
        <source>擦除芯片（FLASH和EEPROM）
erases the chip (FLASH and EEPROM)</source>
        <translation>erases the chip (FLASH and EEPROM)</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="149"/>
        <source>依次执行勾选的各项，最后读取熔丝位与锁定位（F5）
runs every checked step in order, then reads the fuse and lock bytes (F5)</source>
        <translation>runs every checked step in order, then reads the fuse and lock bytes (F5)</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="153"/>
        <source>依次执行整个生产流程
runs the whole production sequence</source>
        <translation>runs the whole production sequence</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="155"/>
        <source>传输完当前页后停止，余下的操作不再执行
stops the transfer after its current page; the rest of the run is dropped</source>
        <translation>stops the transfer after its current page; the rest of the run is dropped</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="159"/>
        <source>擦除后校验FLASH时只读取写入过的页，其余按FF比较
after an erase, the verify reads back only the pages written and takes the rest as erased</source>
        <translation>after an erase, the verify reads back only the pages written and takes the rest as erased</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="166"/>
        <source>已连接 connected %1</source>
        <translation>connected %1</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="167"/>
        <source>未连接 not connected</source>
        <translation>not connected</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="169"/>
        <source>%1 写入 %2/%3 页</source>
        <translation>%1 write %2/%3</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="170"/>
        <source>%1 读取 %2/%3 页</source>
        <translation>%1 read %2/%3</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="171"/>
        <source>编程模式 mode：%1</source>
        <translation>mode: %1</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="173"/>
        <source>选择要使用的编程器
choose the programmer to use</source>
        <translation>choose the programmer to use</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="175"/>
        <source>非出厂 not factory：%1</source>
        <translation>not factory: %1</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="185"/>
        <source>改动过的字节以橙色显示，写入和保存的就是改后的内容；Ctrl+Z撤销，Ctrl+Shift+Z或Ctrl+Y重做；点击右侧文字列可直接输入字符；可拖入文件打开
edited bytes are orange, and are what a write sends and a save stores; Ctrl+Z undoes, Ctrl+Shift+Z or Ctrl+Y redoes; click the text column to type characters; drop a file here to open it</source>
        <translation>edited bytes are orange, and are what a write sends and a save stores; Ctrl+Z undoes, Ctrl+Shift+Z or Ctrl+Y redoes; click the text column to type characters; drop a file here to open it</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="193"/>
        <source>，已编辑 edited：%1 字节</source>
        <translation>, edited: %1 bytes</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="195"/>
        <source>%1 窗口页的改动尚未保存，继续将丢弃显示的内容。
the %1 page has edits not saved; going on replaces what it shows.</source>
        <translation>the %1 page has edits not saved; going on replaces what it shows.</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="199"/>
        <source>%1 窗口页没有可保存的内容：请先打开文件、读出芯片或编辑
nothing to save on the %1 page: open a file, read the chip or edit first</source>
        <translation>nothing to save on the %1 page: open a file, read the chip or edit first</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="204"/>
        <source>这将擦除 %1 的 FLASH %2 和 EEPROM %3，继续吗？
this erases FLASH %2 and EEPROM %3 of %1: go on?</source>
        <translation>this erases FLASH %2 and EEPROM %3 of %1: go on?</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="207"/>
        <source>不再询问 don&apos;t ask again</source>
        <translation>don&apos;t ask again</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="210"/>
        <source>读出的签名 %1 属于 %2，不是所选的 %3。切换到 %2 吗？
the signature %1 read is %2&apos;s, not the selected %3&apos;s: switch to %2?</source>
        <translation>the signature %1 read is %2&apos;s, not the selected %3&apos;s: switch to %2?</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="214"/>
        <source>读出的签名 %1 不是所选的 %2 的签名（%3）
the signature %1 read is not the selected %2&apos;s (%3)</source>
        <translation>the signature %1 read is not the selected %2&apos;s (%3)</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="218"/>
        <source>所有支持的文件 all supported files</source>
        <translation>all supported files</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="219"/>
        <source>所有文件 all files</source>
        <translation>all files</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="220"/>
        <source>版本 version %1</source>
        <translation>version %1</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="256"/>
        <source>量产 Production</source>
        <translation>Production</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="257"/>
        <source>打开作业 open job…</source>
        <translation>open job…</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="258"/>
        <source>开始 Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="259"/>
        <source>导出CSV export CSV…</source>
        <translation>export CSV…</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="261"/>
        <source>打开作业文件（TOML）：芯片、模式、文件、熔丝位、锁定位、步骤和序号
opens a job file (TOML): chip, mode, files, fuses, lock, steps and serial</source>
        <translation>opens a job file (TOML): chip, mode, files, fuses, lock, steps and serial</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="265"/>
        <source>在找到的每个编程器上开始量产：等待芯片，逐片编程并记录
starts production on every programmer found: waits for each chip, programs and records it</source>
        <translation>starts production on every programmer found: waits for each chip, programs and records it</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="268"/>
        <source>每个编程器完成插座中的芯片后停止
stops every programmer once the chip in its socket is done</source>
        <translation>stops every programmer once the chip in its socket is done</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="273"/>
        <source>编程器 %1 完成插座中的芯片后停止，其它编程器继续
stops programmer %1 once the chip in its socket is done; the others go on</source>
        <translation>stops programmer %1 once the chip in its socket is done; the others go on</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="276"/>
        <source>把本作业记录的芯片导出为CSV文件
exports the chips recorded for this job as a CSV file</source>
        <translation>exports the chips recorded for this job as a CSV file</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="279"/>
        <source>作业 job：（未打开 none）</source>
        <translation>job: none</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="280"/>
        <source>作业 job：%1</source>
        <translation>job: %1</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="281"/>
        <source>作业文件 job (*.toml)</source>
        <translation>job (*.toml)</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="282"/>
        <source>CSV文件 CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="284"/>
        <source>数据库 database：%1&#x3000;%2</source>
        <translation>database: %1  %2</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="285"/>
        <source>可用 reachable</source>
        <translation>reachable</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="287"/>
        <source>数据库不可用，等待 database unreachable, waiting</source>
        <translation>database unreachable, waiting</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="288"/>
        <source>空闲 idle</source>
        <translation>idle</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="289"/>
        <source>等待芯片 waiting for chip</source>
        <translation>waiting for chip</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="290"/>
        <source>编程中 programming</source>
        <translation>programming</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="293"/>
        <source>芯片不符 wrong chip</source>
        <translation>wrong chip</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="294"/>
        <source>序号 serial %1</source>
        <translation>serial %1</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="295"/>
        <source>上次 last：%1</source>
        <translation>last: %1</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="298"/>
        <source>通过 passed %1&#x3000;失败 failed %2&#x3000;芯片不符 wrong %3&#x3000;良率 yield %4%&#x3000;每小时 chips/h %5&#x3000;下一序号 next serial %6</source>
        <translation>passed %1   failed %2   wrong chips %3   yield %4%   chips/h %5   next serial %6</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="301"/>
        <source>时间 time</source>
        <translation>time</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="302"/>
        <source>编程器 programmer</source>
        <translation>programmer</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="303"/>
        <source>序号 serial</source>
        <translation>serial</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="304"/>
        <source>结果 result</source>
        <translation>result</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="305"/>
        <source>原因 cause</source>
        <translation>cause</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="306"/>
        <source>量产 production：%1</source>
        <translation>production: %1</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="176"/>
        <location filename="../ui/Captions.h" line="291"/>
        <source>通过 PASS</source>
        <translation>PASS</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="177"/>
        <location filename="../ui/Captions.h" line="292"/>
        <source>失败 FAIL</source>
        <translation>FAIL</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="180"/>
        <source>文件映像 file image</source>
        <translation>file image</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="182"/>
        <source>文件映像 file image：%1</source>
        <translation>file image: %1</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="184"/>
        <source>芯片读出 chip read-back %1</source>
        <translation>chip read-back %1</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="223"/>
        <source>最近的文件 recent files</source>
        <translation>recent files</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="224"/>
        <source>（无 none）</source>
        <translation>(none)</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="225"/>
        <source>复制 copy</source>
        <translation>copy</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="226"/>
        <source>保存日志 save log…</source>
        <translation>save log…</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="227"/>
        <source>清除 clear</source>
        <translation>clear</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="228"/>
        <source>文本文件 text (*.txt)</source>
        <translation>text (*.txt)</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="230"/>
        <source>无法保存日志 cannot save the log：%1</source>
        <translation>cannot save the log: %1</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="233"/>
        <source>打开整片 open whole chip…</source>
        <translation>open whole chip…</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="234"/>
        <source>备份 backup…</source>
        <translation>backup…</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="235"/>
        <source>恢复 restore…</source>
        <translation>restore…</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="236"/>
        <source>查空 blank check</source>
        <translation>blank check</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="238"/>
        <source>打开含FLASH、EEPROM、熔丝位和签名的整片文件（HEX或ELF）
opens a whole-chip file (HEX or ELF) with FLASH, EEPROM, fuses and signature</source>
        <translation>opens a whole-chip file (HEX or ELF) with FLASH, EEPROM, fuses and signature</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="242"/>
        <source>读出整片芯片（签名、熔丝位、锁定位、FLASH、EEPROM）保存为HEX文件
reads the whole chip (signature, fuses, lock, FLASH, EEPROM) into a HEX file</source>
        <translation>reads the whole chip (signature, fuses, lock, FLASH, EEPROM) into a HEX file</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="246"/>
        <source>把整片文件写回芯片：擦除、写入、校验，再写熔丝位与锁定位
writes a whole-chip file back: erase, write, verify, then the fuses and lock</source>
        <translation>writes a whole-chip file back: erase, write, verify, then the fuses and lock</translation>
    </message>
    <message>
        <location filename="../ui/Captions.h" line="250"/>
        <source>读出FLASH和EEPROM，检查每个字节是否都为FF
reads the FLASH and EEPROM and checks that every byte is FF</source>
        <translation>reads the FLASH and EEPROM and checks that every byte is FF</translation>
    </message>
    <message>
        <location filename="../ui/FuseEditor.cpp" line="27"/>
        <source>此器件没有熔丝资料 no fuse facts for this chip</source>
        <translation>no fuse facts for this chip</translation>
    </message>
    <message>
        <location filename="../ui/FuseEditor.cpp" line="29"/>
        <source>低位 low</source>
        <translation>low</translation>
    </message>
    <message>
        <location filename="../ui/FuseEditor.cpp" line="29"/>
        <source>高位 high</source>
        <translation>high</translation>
    </message>
    <message>
        <location filename="../ui/FuseEditor.cpp" line="30"/>
        <source>扩展 ext</source>
        <translation>extended</translation>
    </message>
    <message>
        <location filename="../ui/FuseEditor.cpp" line="30"/>
        <source>锁定 lock</source>
        <translation>lock</translation>
    </message>
    <message>
        <location filename="../ui/FuseEditor.cpp" line="31"/>
        <source>未列出的值 0x%1 unlisted value</source>
        <translation>unlisted value 0x%1</translation>
    </message>
    <message>
        <location filename="../ui/FuseEditor.cpp" line="33"/>
        <source>编程后ISP无法再访问，只能用高压模式恢复 programming this makes ISP unreachable; only a high-voltage mode can undo it</source>
        <translation>programming this makes ISP unreachable; only a high-voltage mode can undo it</translation>
    </message>
    <message>
        <location filename="../ui/FuseEditor.cpp" line="37"/>
        <source>取消编程后ISP无法再访问，只能用高压模式恢复 unprogramming this makes ISP unreachable; only a high-voltage mode can undo it</source>
        <translation>unprogramming this makes ISP unreachable; only a high-voltage mode can undo it</translation>
    </message>
    <message>
        <location filename="../ui/FuseEditor.cpp" line="40"/>
        <source>选用外部时钟或晶振后，芯片和ISP只在接有该时钟时工作 with an external clock or crystal chosen, the chip and ISP work only while that clock is there</source>
        <translation>with an external clock or crystal chosen, the chip and ISP work only while that clock is there</translation>
    </message>
    <message>
        <location filename="../ui/FuseEditor.cpp" line="45"/>
        <source>编程后时钟8分频，ISP时钟须相应降低 programming this divides the clock by 8; ISP then needs a slower clock</source>
        <translation>programming this divides the clock by 8; ISP then needs a slower clock</translation>
    </message>
    <message>
        <location filename="../ui/IntroText.cpp" line="12"/>
        <source>功能介绍：</source>
        <translation>Introduction:</translation>
    </message>
    <message>
        <location filename="../ui/IntroText.cpp" line="15"/>
        <source>1，本编程器由我们自行设计，通过USB 1.1与电脑通讯，支持高压串行(HVSP)、高压并行(PP)和低压串行(ISP)三种编程方式，几乎可以编程全部ATmega和ATtiny系列芯片。</source>
        <translation>1. We designed this programmer ourselves. It talks to the computer over USB 1.1 and programs in three ways, high-voltage serial (HVSP), high-voltage parallel (PP) and low-voltage serial (ISP), which between them reach nearly every chip of the ATmega and ATtiny families.</translation>
    </message>
    <message>
        <location filename="../ui/IntroText.cpp" line="19"/>
        <source>2，在并行编程方式下，芯片的FLASH、EEPROM、熔丝位和锁定位都可以任意编程，因此能为已加密或熔丝设置错误而被锁死的芯片解锁。</source>
        <translation>2. In parallel mode the chip&apos;s FLASH, EEPROM, fuses and lock bits can all be programmed freely, so it unlocks chips that their lock bits protect or that wrong fuse settings have locked out.</translation>
    </message>
    <message>
        <location filename="../ui/IntroText.cpp" line="23"/>
        <source>3，板上带有12V DC-DC升压模块、大容量主控芯片和标准ISP接口，并有500mA过流保护。</source>
        <translation>3. The board carries a 12 V DC-DC boost module, a controller with plenty of memory and a standard ISP connector, and has 500 mA overcurrent protection.</translation>
    </message>
    <message>
        <location filename="../ui/IntroText.cpp" line="25"/>
        <source>4，详细的使用方法，请阅读编程器附带的使用说明书。</source>
        <translation>4. For how to use it in detail, read the manual that comes with the programmer.</translation>
    </message>
    <message>
        <location filename="../ui/IntroText.cpp" line="29"/>
        <source>作者：Quintavel 工作室</source>
        <translation>Made by Quintavel studio</translation>
    </message>
    <message>
        <location filename="../ui/IntroText.cpp" line="30"/>
        <source>联系：support@quintavel.example</source>
        <translation>Contact: support@quintavel.example</translation>
    </message>
</context>
</TS>
