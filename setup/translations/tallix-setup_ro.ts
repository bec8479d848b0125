<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ro_RO" sourcelanguage="en">
<context>
    <name>Tallix</name>
    <message>
        <source> and </source>
        <translation> și </translation>
    </message>
    <message>
        <source>The preferences file could not be read. It was kept as %1 and a new one was started.</source>
        <translation>Fișierul de preferințe nu a putut fi citit. A fost păstrat ca %1 și s-a început unul nou.</translation>
    </message>
    <message>
        <source>The device entries it held are in the kept file.</source>
        <translation>Intrările de dispozitiv pe care le conținea se află în fișierul păstrat.</translation>
    </message>
    <message>
        <source>The preferences file could not be written.</source>
        <translation>Fișierul de preferințe nu a putut fi scris.</translation>
    </message>
    <message>
        <source>Showing the device entry of %1</source>
        <translation>Se afișează intrarea dispozitivului %1</translation>
    </message>
    <message>
        <source>Serial ports found: %1</source>
        <translation>Porturi seriale găsite: %1</translation>
    </message>
    <message>
        <source>Cancelled; the port is closed</source>
        <translation>Anulat; portul este închis</translation>
    </message>
    <message>
        <source>Reading the serial number on %1…</source>
        <translation>Se citește numărul de serie pe %1…</translation>
    </message>
    <message>
        <source>Serial number %1 read on %2</source>
        <translation>Numărul de serie %1 a fost citit pe %2</translation>
    </message>
    <message>
        <source>Stored the device entry of %1</source>
        <translation>Intrarea dispozitivului %1 a fost salvată</translation>
    </message>
    <message>
        <source>Stored the device entry of %1; the preferences file has no DefaultKey element, so no default was recorded</source>
        <translation>Intrarea dispozitivului %1 a fost salvată; fișierul de preferințe nu are elementul DefaultKey, așa că nu s-a înregistrat niciun dispozitiv implicit</translation>
    </message>
    <message>
        <source>Stored the entry with the empty key as the default device</source>
        <translation>Intrarea cu cheia goală a fost salvată ca dispozitiv implicit</translation>
    </message>
    <message>
        <source>Stored %1 as the default device</source>
        <translation>%1 a fost salvat ca dispozitiv implicit</translation>
    </message>
    <message>
        <source>Printing the test report on %1…</source>
        <translation>Se tipărește raportul de test pe %1…</translation>
    </message>
    <message>
        <source>Test report printed on %1</source>
        <translation>Raportul de test a fost tipărit pe %1</translation>
    </message>
    <message>
        <source>Found the printer on %1 at %2 baud, logical ID %3</source>
        <translation>Imprimanta a fost găsită pe %1 la %2 baud, ID logic %3</translation>
    </message>
    <message>
        <source>Looking for the printer with every logical ID…</source>
        <translation>Se caută imprimanta cu fiecare ID logic…</translation>
    </message>
    <message>
        <source>Looking for the printer on every port…</source>
        <translation>Se caută imprimanta pe fiecare port…</translation>
    </message>
    <message>
        <source>%1 — %2 baud, logical ID %3, serial number %4</source>
        <translation>%1 — %2 baud, ID logic %3, număr de serie %4</translation>
    </message>
    <message>
        <source>No printer chosen; nothing changed</source>
        <translation>Nicio imprimantă aleasă; nu s-a schimbat nimic</translation>
    </message>
    <message>
        <source>Search cancelled; nothing changed</source>
        <translation>Căutare anulată; nu s-a schimbat nimic</translation>
    </message>
    <message>
        <source>No printer found.</source>
        <translation>Nu a fost găsită nicio imprimantă.</translation>
    </message>
    <message>
        <source>Searching every logical ID from 0 to 99 takes about %1 minutes when no printer answers. You can cancel it.</source>
        <translation>Căutarea fiecărui ID logic de la 0 la 99 durează aproximativ %1 minute dacă nu răspunde nicio imprimantă. O puteți anula.</translation>
    </message>
    <message>
        <source>No printer answered with the logical IDs %1. Search every logical ID?</source>
        <translation>Nicio imprimantă nu a răspuns la ID-urile logice %1. Căutați toate ID-urile logice?</translation>
    </message>
    <message>
        <source>%1: check the port and that the printer is connected</source>
        <translation>%1: verificați portul și dacă imprimanta este conectată</translation>
    </message>
    <message>
        <source>%1: add the user to the group dialout and log in again</source>
        <translation>%1: adăugați utilizatorul în grupul dialout și autentificați-vă din nou</translation>
    </message>
    <message>
        <source>No answer: check the printer is on, the speed and the logical ID</source>
        <translation>Niciun răspuns: verificați că imprimanta este pornită, viteza și ID-ul logic</translation>
    </message>
    <message>
        <source>No valid answer: wrong speed or noise on the line</source>
        <translation>Niciun răspuns valid: viteză greșită sau zgomot pe linie</translation>
    </message>
    <message>
        <source>The printer&apos;s answer carries no sequence counter</source>
        <translation>Răspunsul imprimantei nu conține contorul de secvență</translation>
    </message>
    <message>
        <source>The line hung up</source>
        <translation>Linia s-a întrerupt</translation>
    </message>
    <message>
        <source>Port in use by %1</source>
        <translation>Port folosit de %1</translation>
    </message>
    <message>
        <source>Port in use: another tallix run, the set-up window or another program has it open</source>
        <translation>Port ocupat: o altă rulare tallix, fereastra de configurare sau alt program îl are deschis</translation>
    </message>
    <message>
        <source>Not a serial port: the path is no terminal (a file, folder, FIFO or /dev/null)</source>
        <translation>Nu este un port serial: calea nu este un terminal (un fișier, un dosar, un FIFO sau /dev/null)</translation>
    </message>
    <message>
        <source>No such serial port: no port&apos;s name begins with this text</source>
        <translation>Nu există acest port serial: niciun nume de port nu începe cu acest text</translation>
    </message>
    <message>
        <source>No port given: choose the printer&apos;s port</source>
        <translation>Nu s-a dat niciun port: alegeți portul imprimantei</translation>
    </message>
    <message>
        <source>%1: the port refused the line settings (%2)</source>
        <translation>%1: portul a refuzat setările liniei (%2)</translation>
    </message>
    <message>
        <source>The port did not keep the line settings: %1</source>
        <translation>Portul nu a păstrat setările liniei: %1</translation>
    </message>
    <message>
        <source>Can not open the path specified</source>
        <translation>Nu se poate deschide calea specificată</translation>
    </message>
    <message>
        <source>Can not connect to the device.</source>
        <translation>Nu se poate realiza conexiunea cu dispozitivul.</translation>
    </message>
    <message>
        <source>Device not responding.</source>
        <translation>Dispozitivul nu răspunde.</translation>
    </message>
    <message>
        <source>Unable to open port</source>
        <translation>Portul nu poate fi deschis</translation>
    </message>
    <message>
        <source>Unable to initialize device</source>
        <translation>Dispozitivul nu poate fi inițializat</translation>
    </message>
    <message>
        <source>Connection lost</source>
        <translation>Conexiune pierdută</translation>
    </message>
    <message>
        <source>Command failed</source>
        <translation>Comanda a eșuat</translation>
    </message>
</context>
<context>
    <name>tallix::SetupWindow</name>
    <message>
        <source>Tallix set-up</source>
        <translation>Configurare Tallix</translation>
    </message>
    <message>
        <source>&amp;Add Device</source>
        <translation>&amp;Adaugă dispozitivul</translation>
    </message>
    <message>
        <source>Store these settings as the device entry of this serial number</source>
        <translation>Salvează aceste setări ca intrare de dispozitiv pentru acest număr de serie</translation>
    </message>
    <message>
        <source>Set &amp;Default</source>
        <translation>Setează i&amp;mplicit</translation>
    </message>
    <message>
        <source>Store the entry and make its key the one that batch runs use when they name none</source>
        <translation>Salvează intrarea și face din cheia ei pe cea folosită de rulările în lot care nu numesc niciuna</translation>
    </message>
    <message>
        <source>&amp;Read Serial</source>
        <translation>Citește &amp;seria</translation>
    </message>
    <message>
        <source>Ask the printer for its serial number</source>
        <translation>Cere imprimantei numărul de serie</translation>
    </message>
    <message>
        <source>Re&amp;fresh Ports</source>
        <translation>&amp;Reîmprospătează porturile</translation>
    </message>
    <message>
        <source>List the serial ports of this computer anew</source>
        <translation>Listează din nou porturile seriale ale acestui calculator</translation>
    </message>
    <message>
        <source>&amp;Test</source>
        <translation>&amp;Testează</translation>
    </message>
    <message>
        <source>Print the non-fiscal day report at the speed shown</source>
        <translation>Tipărește raportul zilnic nefiscal la viteza afișată</translation>
    </message>
    <message>
        <source>F&amp;ind Printer</source>
        <translation>&amp;Caută imprimanta</translation>
    </message>
    <message>
        <source>Look for the printer on every port, at every speed, and fill in port, speed, logical ID and serial number</source>
        <translation>Caută imprimanta pe fiecare port, la fiecare viteză, și completează portul, viteza, ID-ul logic și numărul de serie</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Anulează</translation>
    </message>
    <message>
        <source>Stop waiting for the printer</source>
        <translation>Nu mai aștepta imprimanta</translation>
    </message>
    <message>
        <source>for example ttyUSB0</source>
        <translation>de exemplu ttyUSB0</translation>
    </message>
    <message>
        <source>read it or type it</source>
        <translation>citiți-l sau tastați-l</translation>
    </message>
    <message>
        <source>for example shop-1</source>
        <translation>de exemplu magazin-1</translation>
    </message>
    <message>
        <source>The name by which batch runs choose this device</source>
        <translation>Numele după care rulările în lot aleg acest dispozitiv</translation>
    </message>
    <message>
        <source>Logical ID of the printer, 0 to 99 (Up and Down step it)</source>
        <translation>ID-ul logic al imprimantei, de la 0 până la 99 (săgețile Sus și Jos îl modifică)</translation>
    </message>
    <message>
        <source>Printer</source>
        <translation>Imprimantă</translation>
    </message>
    <message>
        <source>Device t&amp;ype:</source>
        <translation>Ti&amp;p dispozitiv:</translation>
    </message>
    <message>
        <source>&amp;Country:</source>
        <translation>&amp;Țară:</translation>
    </message>
    <message>
        <source>&amp;Port:</source>
        <translation>P&amp;ort:</translation>
    </message>
    <message>
        <source>&amp;Speed (baud):</source>
        <translation>&amp;Viteză (baud):</translation>
    </message>
    <message>
        <source>&amp;Logical ID:</source>
        <translation>ID &amp;logic:</translation>
    </message>
    <message>
        <source>Device entry</source>
        <translation>Intrare de dispozitiv</translation>
    </message>
    <message>
        <source>Serial &amp;number:</source>
        <translation>&amp;Număr de serie:</translation>
    </message>
    <message>
        <source>&amp;Key:</source>
        <translation>C&amp;heie:</translation>
    </message>
    <message>
        <source>Stopping…</source>
        <translation>Se oprește…</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Da</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nu</translation>
    </message>
    <message>
        <source>Several printers answered. Which one do you want to set up?</source>
        <translation>Au răspuns mai multe imprimante. Pe care doriți să o configurați?</translation>
    </message>
</context>
<context>
    <name>tallix::Stepper</name>
    <message>
        <source>One more</source>
        <translation>Încă unul</translation>
    </message>
    <message>
        <source>One less</source>
        <translation>Cu unul mai puțin</translation>
    </message>
</context>
</TS>
