<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ro_RO" sourcelanguage="en">
<context>
    <name>Tallix</name>
    <message>
        <source> and </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The preferences file could not be read. It was kept as %1 and a new one was started.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The device entries it held are in the kept file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The preferences file could not be written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Showing the device entry of %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Serial ports found: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancelled; the port is closed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reading the serial number on %1…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Serial number %1 read on %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stored the device entry of %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stored the device entry of %1; the preferences file has no DefaultKey element, so no default was recorded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stored the entry with the empty key as the default device</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stored %1 as the default device</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printing the test report on %1…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Test report printed on %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Found the printer on %1 at %2 baud, logical ID %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Looking for the printer with every logical ID…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Looking for the printer on every port…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 — %2 baud, logical ID %3, serial number %4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No printer chosen; nothing changed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Search cancelled; nothing changed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No printer found.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Searching every logical ID from 0 to 99 takes about %1 minutes when no printer answers. You can cancel it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No printer answered with the logical IDs %1. Search every logical ID?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: check the port and that the printer is connected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: add the user to the group dialout and log in again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port in use by %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port in use: another tallix run, the set-up window or another program has it open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not a serial port: the path is no terminal (a file, folder, FIFO or /dev/null)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No such serial port: no port&apos;s name begins with this text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can not open the path specified</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can not connect to the device.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Device not responding.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unable to open port</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unable to initialize device</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connection lost</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Command failed</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tallix::SetupWindow</name>
    <message>
        <source>Tallix set-up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add Device</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Store these settings as the device entry of this serial number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set &amp;Default</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Store the entry and make its key the one that batch runs use when they name none</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Read Serial</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ask the printer for its serial number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Re&amp;fresh Ports</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>List the serial ports of this computer anew</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Test</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print the non-fiscal day report at the speed shown</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>F&amp;ind Printer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Look for the printer on every port, at every speed, and fill in port, speed, logical ID and serial number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop waiting for the printer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>for example ttyUSB0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>read it or type it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>for example shop-1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The name by which batch runs choose this device</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Logical ID of the printer, 0 to 99 (Up and Down step it)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Device t&amp;ype:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Country:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Port:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Speed (baud):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Logical ID:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Device entry</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Serial &amp;number:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Key:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stopping…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Yes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Several printers answered. Which one do you want to set up?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
