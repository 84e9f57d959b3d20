<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>Kestrin</name>
    <message>
        <source>ハイスコア</source>
        <translation>High scores</translation>
    </message>
    <message>
        <source>１位：%1</source>
        <translation>1st: %1</translation>
    </message>
    <message>
        <source>２位：%1</source>
        <translation>2nd: %1</translation>
    </message>
    <message>
        <source>３位：%1</source>
        <translation>3rd: %1</translation>
    </message>
    <message>
        <source>４位：%1</source>
        <translation>4th: %1</translation>
    </message>
    <message>
        <source>５位：%1</source>
        <translation>5th: %1</translation>
    </message>
    <message>
        <source>(なし)</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>%1  HIT数:%2</source>
        <translation>%1  Hits: %2</translation>
    </message>
    <message>
        <source>%1年%2月%3日 %4:%5:%6</source>
        <translation>%1-%2-%3 %4:%5:%6</translation>
    </message>
    <message>
        <source>バージョン情報</source>
        <translation>About Kestrin</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>(C) 2026 The Kestrin developers</source>
        <translation>(C) 2026 The Kestrin developers</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Stage：%1/25</source>
        <translation>Stage：%1/25</translation>
    </message>
    <message>
        <source>Cartridge：</source>
        <translation>Cartridge：</translation>
    </message>
    <message>
        <source>Ready...</source>
        <translation>Ready...</translation>
    </message>
    <message>
        <source>Click!</source>
        <translation>Click!</translation>
    </message>
    <message>
        <source>Miss!!</source>
        <translation>Miss!!</translation>
    </message>
    <message>
        <source>Perfect!!</source>
        <translation>Perfect!!</translation>
    </message>
    <message>
        <source>スコアは%1点でした</source>
        <translation>Your score: %1</translation>
    </message>
    <message>
        <source>あなたは、第%1位にランキングされました</source>
        <translation>You are number %1 in the high scores</translation>
    </message>
    <message>
        <source>スコアを保存できませんでした</source>
        <translation>Your score could not be saved</translation>
    </message>
    <message>
        <source>It failed in reading of region data.</source>
        <translation>It failed in reading of region data.</translation>
    </message>
    <message>
        <source>It failed in plastic surgery of a window.</source>
        <translation>It failed in plastic surgery of a window.</translation>
    </message>
</context>
</TS>
