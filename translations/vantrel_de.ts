<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>Family</name>
    <message>
        <source>Acer</source>
        <translation>Acer</translation>
    </message>
    <message>
        <source>Vivitek</source>
        <translation>Vivitek</translation>
    </message>
    <message>
        <source>InFocus</source>
        <translation>InFocus</translation>
    </message>
    <message>
        <source>PJLink (network)</source>
        <translation>PJLink (Netzwerk)</translation>
    </message>
</context>
<context>
    <name>LampColours</name>
    <message>
        <source>Switching</source>
        <translation>Wird geschaltet</translation>
    </message>
    <message>
        <source>Lamp on</source>
        <translation>Lampe an</translation>
    </message>
    <message>
        <source>Lamp off</source>
        <translation>Lampe aus</translation>
    </message>
    <message>
        <source>No contact</source>
        <translation>Kein Kontakt</translation>
    </message>
    <message>
        <source>Warming up</source>
        <translation>Wärmt auf</translation>
    </message>
    <message>
        <source>Cooling down</source>
        <translation>Kühlt ab</translation>
    </message>
    <message>
        <source>In contact</source>
        <translation>Kontakt besteht</translation>
    </message>
</context>
<context>
    <name>LanguageMenu</name>
    <message>
        <source>Language</source>
        <translation>Sprache</translation>
    </message>
    <message>
        <source>System language</source>
        <translation>Sprache des Systems</translation>
    </message>
    <message>
        <source>The language changes at the next start of Vantrel</source>
        <translation>Die Sprache wechselt beim nächsten Start von Vantrel</translation>
    </message>
    <message>
        <source>The language could not be saved in %1: %2</source>
        <translation>Die Sprache konnte nicht in %1 gespeichert werden: %2</translation>
    </message>
</context>
<context>
    <name>NoticeRules</name>
    <message>
        <source>No longer answers: %1</source>
        <translation>Antwortet nicht mehr: %1</translation>
    </message>
    <message>
        <source>Health: %1</source>
        <translation>Zustand: %1</translation>
    </message>
    <message>
        <source>Lamp at %1 hours, past %2 % of its %3 hours</source>
        <translation>Lampe hat %1 Stunden, mehr als %2 % ihrer %3 Stunden</translation>
    </message>
    <message>
        <source>Password rejected</source>
        <translation>Passwort abgelehnt</translation>
    </message>
    <message>
        <source>Answers again</source>
        <translation>Antwortet wieder</translation>
    </message>
    <message numerus="yes">
        <source>%n projector(s) need attention</source>
        <translation>
            <numerusform>%n Projektor braucht Aufmerksamkeit</numerusform>
            <numerusform>%n Projektoren brauchen Aufmerksamkeit</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>PJLinkPage</name>
    <message>
        <source>%1 was not sent: it is not a PJLink command</source>
        <translation>%1 wurde nicht gesendet: Das ist kein PJLink-Befehl</translation>
    </message>
    <message>
        <source>%1 sent: the projector is on</source>
        <translation>%1 gesendet: Der Projektor ist an</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1: %2
</source>
        <translation>%1: %2
</translation>
    </message>
    <message>
        <source>Answer to no command: %1
</source>
        <translation>Antwort ohne Befehl: %1
</translation>
    </message>
    <message>
        <source>Lamp is Off</source>
        <translation>Lampe ist aus</translation>
    </message>
    <message>
        <source>Lamp is On</source>
        <translation>Lampe ist an</translation>
    </message>
    <message>
        <source>Cooling down</source>
        <translation>Kühlt ab</translation>
    </message>
    <message>
        <source>Warming up</source>
        <translation>Wärmt auf</translation>
    </message>
    <message>
        <source>unreadable</source>
        <translation>unlesbar</translation>
    </message>
</context>
<context>
    <name>PJLinkView</name>
    <message>
        <source>fan</source>
        <translation>Lüfter</translation>
    </message>
    <message>
        <source>lamp</source>
        <translation>Lampe</translation>
    </message>
    <message>
        <source>temperature</source>
        <translation>Temperatur</translation>
    </message>
    <message>
        <source>cover</source>
        <translation>Abdeckung</translation>
    </message>
    <message>
        <source>filter</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>other</source>
        <translation>Sonstiges</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>in Ordnung</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
    <message>
        <source>%1 h, %2</source>
        <translation>%1 h, %2</translation>
    </message>
    <message>
        <source>lit</source>
        <translation>an</translation>
    </message>
    <message>
        <source>off</source>
        <translation>aus</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1 h</source>
        <translation>%1 h</translation>
    </message>
    <message>
        <source>not known yet</source>
        <translation>noch unbekannt</translation>
    </message>
    <message>
        <source>Power on</source>
        <translation>Einschalten</translation>
    </message>
    <message>
        <source>Power off</source>
        <translation>Ausschalten</translation>
    </message>
    <message>
        <source>Input %1</source>
        <translation>Eingang %1</translation>
    </message>
    <message>
        <source>Picture mute</source>
        <translation>Bild aus</translation>
    </message>
    <message>
        <source>Sound mute</source>
        <translation>Ton aus</translation>
    </message>
    <message>
        <source>Picture and sound mute</source>
        <translation>Bild und Ton aus</translation>
    </message>
    <message>
        <source>Picture unmute</source>
        <translation>Bild wieder an</translation>
    </message>
    <message>
        <source>Sound unmute</source>
        <translation>Ton wieder an</translation>
    </message>
    <message>
        <source>Picture and sound unmute</source>
        <translation>Bild und Ton wieder an</translation>
    </message>
    <message>
        <source>Freeze</source>
        <translation>Standbild</translation>
    </message>
    <message>
        <source>Unfreeze</source>
        <translation>Standbild aus</translation>
    </message>
    <message>
        <source>Volume up</source>
        <translation>Lauter</translation>
    </message>
    <message>
        <source>Volume down</source>
        <translation>Leiser</translation>
    </message>
    <message>
        <source>unreadable</source>
        <translation>unlesbar</translation>
    </message>
</context>
<context>
    <name>PortStatus</name>
    <message>
        <source>no serial port chosen</source>
        <translation>keine serielle Schnittstelle gewählt</translation>
    </message>
    <message>
        <source>not present</source>
        <translation>nicht vorhanden</translation>
    </message>
    <message>
        <source>in use by another program</source>
        <translation>von einem anderen Programm belegt</translation>
    </message>
    <message>
        <source>permission denied. Your user must be in the &apos;dialout&apos; group</source>
        <translation>Zugriff verweigert. Ihr Benutzer muss zur Gruppe „dialout“ gehören</translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation>Zugriff verweigert</translation>
    </message>
    <message>
        <source>device lost</source>
        <translation>Gerät getrennt</translation>
    </message>
    <message>
        <source>not a valid address: %1</source>
        <translation>keine gültige Adresse: %1</translation>
    </message>
    <message>
        <source>connection refused</source>
        <translation>Verbindung abgelehnt</translation>
    </message>
    <message>
        <source>host not found</source>
        <translation>Host nicht gefunden</translation>
    </message>
    <message>
        <source>timed out</source>
        <translation>Zeitüberschreitung</translation>
    </message>
    <message>
        <source>connection lost</source>
        <translation>Verbindung verloren</translation>
    </message>
    <message>
        <source>line settings refused</source>
        <translation>Leitungseinstellungen abgelehnt</translation>
    </message>
    <message>
        <source>password rejected</source>
        <translation>Passwort abgelehnt</translation>
    </message>
    <message>
        <source>needs a password</source>
        <translation>Passwort erforderlich</translation>
    </message>
    <message>
        <source>not a PJLink projector</source>
        <translation>kein PJLink-Projektor</translation>
    </message>
    <message>
        <source>cannot be opened</source>
        <translation>kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>cannot be opened (%1)</source>
        <translation>kann nicht geöffnet werden (%1)</translation>
    </message>
    <message>
        <source>password rejected (%1)</source>
        <translation>Passwort abgelehnt (%1)</translation>
    </message>
    <message>
        <source>no greeting</source>
        <translation>keine Begrüßung</translation>
    </message>
    <message>
        <source>MD5 and SHA-256 logins refused</source>
        <translation>MD5- und SHA-256-Anmeldung abgelehnt</translation>
    </message>
    <message>
        <source>SHA-256 and MD5 logins refused</source>
        <translation>SHA-256- und MD5-Anmeldung abgelehnt</translation>
    </message>
    <message>
        <source>MD5 login refused</source>
        <translation>MD5-Anmeldung abgelehnt</translation>
    </message>
    <message>
        <source>SHA-256 login refused</source>
        <translation>SHA-256-Anmeldung abgelehnt</translation>
    </message>
</context>
<context>
    <name>ProjectorSession</name>
    <message>
        <source>refused</source>
        <translation>abgelehnt</translation>
    </message>
    <message>
        <source>no answer</source>
        <translation>keine Antwort</translation>
    </message>
</context>
<context>
    <name>ProjectorState</name>
    <message>
        <source>No contact</source>
        <translation>Kein Kontakt</translation>
    </message>
    <message>
        <source>Lamp off</source>
        <translation>Lampe aus</translation>
    </message>
    <message>
        <source>Lamp on</source>
        <translation>Lampe an</translation>
    </message>
    <message>
        <source>Cooling down</source>
        <translation>Kühlt ab</translation>
    </message>
    <message>
        <source>Warming up</source>
        <translation>Wärmt auf</translation>
    </message>
    <message>
        <source>Contact</source>
        <translation>Kontakt</translation>
    </message>
    <message>
        <source>fan</source>
        <translation>Lüfter</translation>
    </message>
    <message>
        <source>lamp</source>
        <translation>Lampe</translation>
    </message>
    <message>
        <source>temperature</source>
        <translation>Temperatur</translation>
    </message>
    <message>
        <source>cover</source>
        <translation>Abdeckung</translation>
    </message>
    <message>
        <source>filter</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>other</source>
        <translation>Sonstiges</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>in Ordnung</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>error</source>
        <translation>Fehler</translation>
    </message>
</context>
<context>
    <name>RoomsModel</name>
    <message>
        <source>%1: done</source>
        <translation>%1: erledigt</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Health: %1</source>
        <translation>Zustand: %1</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>Gruppe</translation>
    </message>
    <message>
        <source>Family</source>
        <translation>Familie</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Eingang</translation>
    </message>
    <message>
        <source>Lamp hours</source>
        <translation>Lampenstunden</translation>
    </message>
    <message>
        <source>Filter hours</source>
        <translation>Filterstunden</translation>
    </message>
    <message>
        <source>Health</source>
        <translation>Zustand</translation>
    </message>
    <message>
        <source>Last answer</source>
        <translation>Letzte Antwort</translation>
    </message>
    <message>
        <source>%1 not sent: %2</source>
        <translation>%1 nicht gesendet: %2</translation>
    </message>
    <message>
        <source>On</source>
        <translation>Ein</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Other info: %1</source>
        <translation>Weitere Angaben: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n projector(s) need attention</source>
        <translation>
            <numerusform>%n Projektor braucht Aufmerksamkeit</numerusform>
            <numerusform>%n Projektoren brauchen Aufmerksamkeit</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>RoomsWindow</name>
    <message>
        <source>Rooms — Vantrel</source>
        <translation>Räume — Vantrel</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>Gruppe</translation>
    </message>
    <message>
        <source>Poll every</source>
        <translation>Abfrage alle</translation>
    </message>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Lamp life</source>
        <translation>Lampenlebensdauer</translation>
    </message>
    <message>
        <source>A notice when a lamp has burned 90 % of these hours</source>
        <translation>Ein Hinweis, wenn eine Lampe 90 % dieser Stunden gebrannt hat</translation>
    </message>
    <message>
        <source>off</source>
        <translation>aus</translation>
    </message>
    <message>
        <source> h</source>
        <translation> h</translation>
    </message>
    <message>
        <source>On</source>
        <translation>Ein</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Eingang</translation>
    </message>
    <message>
        <source>Picture mute</source>
        <translation>Bild aus</translation>
    </message>
    <message>
        <source>Sound mute</source>
        <translation>Ton aus</translation>
    </message>
    <message>
        <source>Unmute</source>
        <translation>Bild und Ton wieder an</translation>
    </message>
    <message>
        <source>Export…</source>
        <translation>Exportieren…</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>All groups</source>
        <translation>Alle Gruppen</translation>
    </message>
    <message>
        <source>Input…</source>
        <translation>Eingang…</translation>
    </message>
    <message>
        <source>Export inventory</source>
        <translation>Inventar exportieren</translation>
    </message>
    <message>
        <source>CSV (*.csv);;JSON (*.json)</source>
        <translation>CSV (*.csv);;JSON (*.json)</translation>
    </message>
    <message>
        <source>The inventory could not be written to %1: %2</source>
        <translation>Das Inventar konnte nicht in %1 geschrieben werden: %2</translation>
    </message>
    <message numerus="yes">
        <source>Inventory of %n projector(s) written to %1</source>
        <translation>
            <numerusform>Inventar von %n Projektor in %1 geschrieben</numerusform>
            <numerusform>Inventar von %n Projektoren in %1 geschrieben</numerusform>
        </translation>
    </message>
    <message>
        <source>Projectors</source>
        <translation>Projektoren</translation>
    </message>
    <message>
        <source>Not saved for the next start: %1</source>
        <translation>Für den nächsten Start nicht gespeichert: %1</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>Settings not saved</source>
        <translation>Einstellungen nicht gespeichert</translation>
    </message>
    <message>
        <source>%1 (not present)</source>
        <translation>%1 (nicht vorhanden)</translation>
    </message>
    <message>
        <source>%1.
Press Ok to try again, or Cancel.</source>
        <translation>%1.
OK versucht es noch einmal, Abbrechen lässt es.</translation>
    </message>
    <message>
        <source>%1.
The choice applies to this session only.</source>
        <translation>%1.
Die Auswahl gilt nur für diese Sitzung.</translation>
    </message>
</context>
<context>
    <name>SettingsClass</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Model:</source>
        <translation>Modell:</translation>
    </message>
    <message>
        <source>Acer</source>
        <translation>Acer</translation>
    </message>
    <message>
        <source>Vivitek</source>
        <translation>Vivitek</translation>
    </message>
    <message>
        <source>InFocus</source>
        <translation>InFocus</translation>
    </message>
    <message>
        <source>Com Port:</source>
        <translation>Anschluss:</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>StoredSettings</name>
    <message>
        <source>a section name without its &quot;]&quot;</source>
        <translation>ein Abschnittsname ohne sein „]“</translation>
    </message>
    <message>
        <source>a quote (&quot;) that is not closed on its line</source>
        <translation>ein Anführungszeichen (&quot;), das auf seiner Zeile nicht geschlossen wird</translation>
    </message>
    <message>
        <source>a line that is neither &quot;[section]&quot; nor &quot;key=value&quot;</source>
        <translation>eine Zeile, die weder „[Abschnitt]“ noch „Schlüssel=Wert“ ist</translation>
    </message>
    <message>
        <source>%1: the file does not read as settings</source>
        <translation>%1: Die Datei lässt sich nicht als Einstellungen lesen</translation>
    </message>
    <message>
        <source>%1; the settings file is left as it is until this is put right</source>
        <translation>%1; die Einstellungsdatei bleibt, wie sie ist, bis das behoben ist</translation>
    </message>
    <message>
        <source>the settings could not be saved in %1</source>
        <translation>die Einstellungen konnten nicht in %1 gespeichert werden</translation>
    </message>
    <message>
        <source>the lock %1 is a link; nothing is saved while it is there</source>
        <translation>die Sperre %1 ist ein Link; solange er dort liegt, wird nichts gespeichert</translation>
    </message>
    <message>
        <source>the lock %1 cannot be opened: %2</source>
        <translation>die Sperre %1 lässt sich nicht öffnen: %2</translation>
    </message>
    <message>
        <source>the lock %1 is not a file of this user&apos;s; nothing is saved while it is there</source>
        <translation>die Sperre %1 ist keine Datei dieses Benutzers; solange sie dort liegt, wird nichts gespeichert</translation>
    </message>
    <message>
        <source>the lock %1 cannot be taken: %2</source>
        <translation>die Sperre %1 lässt sich nicht setzen: %2</translation>
    </message>
    <message>
        <source>settings are being changed by another program (lock %1)</source>
        <translation>die Einstellungen werden gerade von einem anderen Programm geändert (Sperre %1)</translation>
    </message>
    <message>
        <source>the lock %1 cannot be made</source>
        <translation>die Sperre %1 lässt sich nicht anlegen</translation>
    </message>
</context>
<context>
    <name>Vantrel</name>
    <message>
        <source>Vantrel V 2.0</source>
        <translation>Vantrel V 2.0</translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation>%1 – %2</translation>
    </message>
    <message>
        <source>The choice of %1 could not be saved in %2; it applies to this session only.
</source>
        <translation>Die Wahl von %1 konnte nicht in %2 gespeichert werden; sie gilt nur für diese Sitzung.
</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Vantrel

Serial RS-232 Remote Control

Written by the Vantrel developers

This program is available for Windows And Linux

https://vantrel.example.org</source>
        <translation>Vantrel

Fernbedienung über RS-232

Geschrieben von den Vantrel-Entwicklern

Dieses Programm gibt es für Windows und Linux

https://vantrel.example.org</translation>
    </message>
    <message>
        <source>Projector is on!</source>
        <translation>Projektor ist an!</translation>
    </message>
    <message>
        <source>The projectorn is On.
Do you want to turn it off?</source>
        <translation>Der Projektor ist eingeschaltet.
Möchten Sie ihn ausschalten?</translation>
    </message>
    <message>
        <source>Projector not switched off</source>
        <translation>Projektor nicht ausgeschaltet</translation>
    </message>
    <message>
        <source>Vantrel could not switch the projector off: the serial port is not open (%1).

Switch it off at the projector or with its remote control.</source>
        <translation>Vantrel konnte den Projektor nicht ausschalten: Die serielle Schnittstelle ist nicht geöffnet (%1).

Schalten Sie ihn am Projektor oder mit seiner Fernbedienung aus.</translation>
    </message>
    <message>
        <source>Command not available at the moment.
</source>
        <translation>Befehl im Moment nicht verfügbar.
</translation>
    </message>
    <message>
        <source>Turn off</source>
        <translation>Ausschalten</translation>
    </message>
    <message>
        <source>Turn the projector off?</source>
        <translation>Den Projektor ausschalten?</translation>
    </message>
    <message>
        <source>Save log</source>
        <translation>Protokoll speichern</translation>
    </message>
    <message>
        <source>Text files (*.txt *.log);;All files (*)</source>
        <translation>Textdateien (*.txt *.log);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Log not saved</source>
        <translation>Protokoll nicht gespeichert</translation>
    </message>
    <message>
        <source>The log could not be saved in %1:
%2</source>
        <translation>Das Protokoll konnte nicht in %1 gespeichert werden:
%2</translation>
    </message>
    <message>
        <source>Dropped %1 bytes of input that came faster than a projector sends.
</source>
        <translation>%1 Bytes verworfen, die schneller ankamen, als ein Projektor sendet.
</translation>
    </message>
    <message>
        <source>Contact</source>
        <translation>Kontakt</translation>
    </message>
    <message>
        <source>In contact with the projector</source>
        <translation>Kontakt zum Projektor</translation>
    </message>
    <message>
        <source>No Contact</source>
        <translation>Kein Kontakt</translation>
    </message>
    <message>
        <source>No contact with the projector</source>
        <translation>Kein Kontakt zum Projektor</translation>
    </message>
    <message>
        <source>Opening port </source>
        <translation>Öffne Anschluss </translation>
    </message>
    <message>
        <source>Serial port successfully opened!
</source>
        <translation>Serielle Schnittstelle erfolgreich geöffnet!
</translation>
    </message>
    <message>
        <source>Failed to set serial port speed!
</source>
        <translation>Geschwindigkeit der seriellen Schnittstelle konnte nicht eingestellt werden!
</translation>
    </message>
    <message>
        <source>Failed to initialize serial port!
</source>
        <translation>Serielle Schnittstelle konnte nicht initialisiert werden!
</translation>
    </message>
    <message>
        <source>Communication with projector not possible.
</source>
        <translation>Keine Kommunikation mit dem Projektor möglich.
</translation>
    </message>
    <message>
        <source>Connected to %1 (%2)</source>
        <translation>Verbunden mit %1 (%2)</translation>
    </message>
    <message>
        <source>Connected to %1 (%2, %3 baud)</source>
        <translation>Verbunden mit %1 (%2, %3 Baud)</translation>
    </message>
    <message>
        <source>No projector address given: enter one in File &gt; Settings</source>
        <translation>Keine Projektoradresse angegeben: unter Datei &gt; Einstellungen eingeben</translation>
    </message>
    <message>
        <source>No serial port chosen: choose one in File &gt; Settings</source>
        <translation>Keine serielle Schnittstelle gewählt: unter Datei &gt; Einstellungen wählen</translation>
    </message>
    <message>
        <source>%1: not present, waiting for it</source>
        <translation>%1: nicht vorhanden, warte darauf</translation>
    </message>
    <message>
        <source>%1: device lost, waiting for it to return</source>
        <translation>%1: Gerät getrennt, warte auf seine Rückkehr</translation>
    </message>
    <message>
        <source>Error!</source>
        <translation>Fehler!</translation>
    </message>
    <message>
        <source>Lost serial port %1: the device has gone away.
</source>
        <translation>Serielle Schnittstelle %1 verloren: Das Gerät ist nicht mehr da.
</translation>
    </message>
    <message>
        <source>%1 was changed in the settings file.
</source>
        <translation>%1 wurde in der Einstellungsdatei geändert.
</translation>
    </message>
    <message>
        <source>%1 was removed from the settings file; %2 takes its place.
</source>
        <translation>%1 wurde aus der Einstellungsdatei entfernt; %2 tritt an seine Stelle.
</translation>
    </message>
    <message>
        <source>Connected to %1
</source>
        <translation>Verbunden mit %1
</translation>
    </message>
    <message>
        <source>%1. The settings file is left as it is until it is put right by hand.</source>
        <translation>%1. Die Einstellungsdatei bleibt, wie sie ist, bis sie von Hand berichtigt wird.</translation>
    </message>
    <message>
        <source>No projectors: add one in Projectors…</source>
        <translation>Keine Projektoren: hinzufügen mit Projektoren…</translation>
    </message>
</context>
<context>
    <name>VantrelClass</name>
    <message>
        <source>On/Off</source>
        <translation>Ein/Aus</translation>
    </message>
    <message>
        <source>Power On</source>
        <translation>Einschalten</translation>
    </message>
    <message>
        <source>Power Off</source>
        <translation>Ausschalten</translation>
    </message>
    <message>
        <source>Video Source</source>
        <translation>Videoquelle</translation>
    </message>
    <message>
        <source>VGA 1/2</source>
        <translation>VGA 1/2</translation>
    </message>
    <message>
        <source>DVI</source>
        <translation>DVI</translation>
    </message>
    <message>
        <source>S-Video</source>
        <translation>S-Video</translation>
    </message>
    <message>
        <source>HDMI</source>
        <translation>HDMI</translation>
    </message>
    <message>
        <source>Composite</source>
        <translation>Composite</translation>
    </message>
    <message>
        <source>Search/Auto</source>
        <translation>Suche/Auto</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Modell</translation>
    </message>
    <message>
        <source>Image</source>
        <translation>Bild</translation>
    </message>
    <message>
        <source>Brightness</source>
        <translation>Helligkeit</translation>
    </message>
    <message>
        <source>Contrast</source>
        <translation>Kontrast</translation>
    </message>
    <message>
        <source>Color</source>
        <translation>Farbe</translation>
    </message>
    <message>
        <source>Color Temperature</source>
        <translation>Farbtemperatur</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>Freeze</source>
        <translation>Standbild</translation>
    </message>
    <message>
        <source>Show/Hide</source>
        <translation>Zeigen/Verbergen</translation>
    </message>
    <message>
        <source>Projector Info</source>
        <translation>Projektorinfo</translation>
    </message>
    <message>
        <source>Lamp Time</source>
        <translation>Lampenstunden</translation>
    </message>
    <message>
        <source>Resolution</source>
        <translation>Auflösung</translation>
    </message>
    <message>
        <source>Company</source>
        <translation>Hersteller</translation>
    </message>
    <message>
        <source>Keystone</source>
        <translation>Trapez</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Auf</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Ab</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Menü</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Links</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Rechts</translation>
    </message>
    <message>
        <source>e-Key</source>
        <translation>e-Key</translation>
    </message>
    <message>
        <source>Image Format</source>
        <translation>Bildformat</translation>
    </message>
    <message>
        <source>4:3</source>
        <translation>4:3</translation>
    </message>
    <message>
        <source>16:9</source>
        <translation>16:9</translation>
    </message>
    <message>
        <source>Power</source>
        <translation>Ein/Aus</translation>
    </message>
    <message>
        <source> On</source>
        <translation> Ein</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Zeigen</translation>
    </message>
    <message>
        <source>Hide/Blank</source>
        <translation>Ausblenden</translation>
    </message>
    <message>
        <source>Aspect</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Key Stone</source>
        <translation>Trapez</translation>
    </message>
    <message>
        <source>Keystone up</source>
        <translation>Trapez auf</translation>
    </message>
    <message>
        <source>Keystone down</source>
        <translation>Trapez ab</translation>
    </message>
    <message>
        <source>Lamp Mode</source>
        <translation>Lampenmodus</translation>
    </message>
    <message>
        <source>Eco</source>
        <translation>Eco</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Dynamic Eco</source>
        <translation>Dynamisches Eco</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>Color Temp</source>
        <translation>Farbtemp.</translation>
    </message>
    <message>
        <source>Warm</source>
        <translation>Warm</translation>
    </message>
    <message>
        <source>Cold</source>
        <translation>Kalt</translation>
    </message>
    <message>
        <source>Projection Mode</source>
        <translation>Projektionsart</translation>
    </message>
    <message>
        <source>Front</source>
        <translation>Vorne</translation>
    </message>
    <message>
        <source>Rear</source>
        <translation>Hinten</translation>
    </message>
    <message>
        <source>Ceiling</source>
        <translation>Decke</translation>
    </message>
    <message>
        <source>Rear + Ceiling</source>
        <translation>Hinten + Decke</translation>
    </message>
    <message>
        <source>RGB 1</source>
        <translation>RGB 1</translation>
    </message>
    <message>
        <source>RGB 2</source>
        <translation>RGB 2</translation>
    </message>
    <message>
        <source>Video</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>HDMI 1</source>
        <translation>HDMI 1</translation>
    </message>
    <message>
        <source>HDMI 2</source>
        <translation>HDMI 2</translation>
    </message>
    <message>
        <source>BNC</source>
        <translation>BNC</translation>
    </message>
    <message>
        <source>Component</source>
        <translation>Komponente</translation>
    </message>
    <message>
        <source>Display Port</source>
        <translation>DisplayPort</translation>
    </message>
    <message>
        <source>Logo</source>
        <translation>Logo</translation>
    </message>
    <message>
        <source>Standard</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>User</source>
        <translation>Benutzer</translation>
    </message>
    <message>
        <source>Capture</source>
        <translation>Erfassen</translation>
    </message>
    <message>
        <source>Display Mode</source>
        <translation>Anzeigemodus</translation>
    </message>
    <message>
        <source>Presentation</source>
        <translation>Präsentation</translation>
    </message>
    <message>
        <source>Bright</source>
        <translation>Hell</translation>
    </message>
    <message>
        <source>Game</source>
        <translation>Spiel</translation>
    </message>
    <message>
        <source>Movie</source>
        <translation>Film</translation>
    </message>
    <message>
        <source>TV</source>
        <translation>TV</translation>
    </message>
    <message>
        <source>sRGB</source>
        <translation>sRGB</translation>
    </message>
    <message>
        <source>Blackboard</source>
        <translation>Tafel</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Eingang</translation>
    </message>
    <message>
        <source>The inputs the projector offers</source>
        <translation>Die Eingänge, die der Projektor anbietet</translation>
    </message>
    <message>
        <source>Picture</source>
        <translation>Bild</translation>
    </message>
    <message>
        <source>Picture mute</source>
        <translation>Bild aus</translation>
    </message>
    <message>
        <source>Sound mute</source>
        <translation>Ton aus</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Lautstärke</translation>
    </message>
    <message>
        <source>Volume +</source>
        <translation>Lautstärke +</translation>
    </message>
    <message>
        <source>Volume −</source>
        <translation>Lautstärke −</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>Make:</source>
        <translation>Hersteller:</translation>
    </message>
    <message>
        <source>Class:</source>
        <translation>Klasse:</translation>
    </message>
    <message>
        <source>Lamps:</source>
        <translation>Lampen:</translation>
    </message>
    <message>
        <source>Filter:</source>
        <translation>Filter:</translation>
    </message>
    <message>
        <source>Health</source>
        <translation>Zustand</translation>
    </message>
    <message>
        <source>Fan health</source>
        <translation>Zustand des Lüfters</translation>
    </message>
    <message>
        <source>Fan</source>
        <translation>Lüfter</translation>
    </message>
    <message>
        <source>Lamp health</source>
        <translation>Zustand der Lampe</translation>
    </message>
    <message>
        <source>Lamp</source>
        <translation>Lampe</translation>
    </message>
    <message>
        <source>Temperature health</source>
        <translation>Zustand der Temperatur</translation>
    </message>
    <message>
        <source>Temp.</source>
        <translation>Temp.</translation>
    </message>
    <message>
        <source>Cover health</source>
        <translation>Zustand der Abdeckung</translation>
    </message>
    <message>
        <source>Cover</source>
        <translation>Abdeckung</translation>
    </message>
    <message>
        <source>Filter health</source>
        <translation>Zustand des Filters</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>Other health</source>
        <translation>Sonstiger Zustand</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>Sonstiges</translation>
    </message>
    <message>
        <source>Info View</source>
        <translation>Infoansicht</translation>
    </message>
    <message>
        <source>Opens the settings</source>
        <translation>Öffnet die Einstellungen</translation>
    </message>
    <message>
        <source>No contact with the projector</source>
        <translation>Kein Kontakt zum Projektor</translation>
    </message>
    <message>
        <source>Debug</source>
        <translation>Debug</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Traffic log</source>
        <translation>Verkehrsprotokoll</translation>
    </message>
    <message>
        <source>Ascii</source>
        <translation>ASCII</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Projector</source>
        <translation>Projektor</translation>
    </message>
    <message>
        <source>Inställningar...</source>
        <translation>Einstellungen...</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Save log…</source>
        <translation>Protokoll speichern…</translation>
    </message>
    <message>
        <source>Keystone menu</source>
        <translation>Trapezmenü</translation>
    </message>
    <message>
        <source>Reconnect by itself</source>
        <translation>Von selbst neu verbinden</translation>
    </message>
    <message>
        <source>Rooms…</source>
        <translation>Räume…</translation>
    </message>
    <message>
        <source>Ctrl+R</source>
        <translation>Ctrl+R</translation>
    </message>
    <message>
        <source>Projectors…</source>
        <translation>Projektoren…</translation>
    </message>
    <message>
        <source>Other info:</source>
        <translation>Weitere Angaben:</translation>
    </message>
</context>
</TS>
