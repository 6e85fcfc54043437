<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
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
        <translation>PJLink (réseau)</translation>
    </message>
</context>
<context>
    <name>LampColours</name>
    <message>
        <source>Switching</source>
        <translation>Commutation…</translation>
    </message>
    <message>
        <source>Lamp on</source>
        <translation>Lampe allumée</translation>
    </message>
    <message>
        <source>Lamp off</source>
        <translation>Lampe éteinte</translation>
    </message>
    <message>
        <source>No contact</source>
        <translation>Pas de contact</translation>
    </message>
    <message>
        <source>Warming up</source>
        <translation>Préchauffage</translation>
    </message>
    <message>
        <source>Cooling down</source>
        <translation>Refroidissement</translation>
    </message>
    <message>
        <source>In contact</source>
        <translation>Contact établi</translation>
    </message>
</context>
<context>
    <name>LanguageMenu</name>
    <message>
        <source>Language</source>
        <translation>Langue</translation>
    </message>
    <message>
        <source>System language</source>
        <translation>Langue du système</translation>
    </message>
    <message>
        <source>The language changes at the next start of Vantrel</source>
        <translation>La langue change au prochain démarrage de Vantrel</translation>
    </message>
    <message>
        <source>The language could not be saved in %1: %2</source>
        <translation>La langue n’a pas pu être enregistrée dans %1&#xa0;: %2</translation>
    </message>
</context>
<context>
    <name>NoticeRules</name>
    <message>
        <source>No longer answers: %1</source>
        <translation>Ne répond plus&#xa0;: %1</translation>
    </message>
    <message>
        <source>Health: %1</source>
        <translation>État de santé&#xa0;: %1</translation>
    </message>
    <message>
        <source>Lamp at %1 hours, past %2 % of its %3 hours</source>
        <translation>Lampe à %1 heures, au-delà de %2 % de ses %3 heures</translation>
    </message>
    <message>
        <source>Password rejected</source>
        <translation>Mot de passe refusé</translation>
    </message>
    <message>
        <source>Answers again</source>
        <translation>Répond de nouveau</translation>
    </message>
    <message numerus="yes">
        <source>%n projector(s) need attention</source>
        <translation>
            <numerusform>%n projecteur demande de l’attention</numerusform>
            <numerusform>%n projecteurs demandent de l’attention</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>PJLinkPage</name>
    <message>
        <source>%1 was not sent: it is not a PJLink command</source>
        <translation>%1 n’a pas été envoyé&#xa0;: ce n’est pas une commande PJLink</translation>
    </message>
    <message>
        <source>%1 sent: the projector is on</source>
        <translation>%1 envoyé&#xa0;: le projecteur est allumé</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1&#xa0;: %2</translation>
    </message>
    <message>
        <source>%1: %2
</source>
        <translation>%1&#xa0;: %2
</translation>
    </message>
    <message>
        <source>Answer to no command: %1
</source>
        <translation>Réponse sans commande&#xa0;: %1
</translation>
    </message>
    <message>
        <source>Lamp is Off</source>
        <translation>La lampe est éteinte</translation>
    </message>
    <message>
        <source>Lamp is On</source>
        <translation>La lampe est allumée</translation>
    </message>
    <message>
        <source>Cooling down</source>
        <translation>Refroidissement</translation>
    </message>
    <message>
        <source>Warming up</source>
        <translation>Préchauffage</translation>
    </message>
    <message>
        <source>unreadable</source>
        <translation>illisible</translation>
    </message>
</context>
<context>
    <name>PJLinkView</name>
    <message>
        <source>fan</source>
        <translation>ventilateur</translation>
    </message>
    <message>
        <source>lamp</source>
        <translation>lampe</translation>
    </message>
    <message>
        <source>temperature</source>
        <translation>température</translation>
    </message>
    <message>
        <source>cover</source>
        <translation>capot</translation>
    </message>
    <message>
        <source>filter</source>
        <translation>filtre</translation>
    </message>
    <message>
        <source>other</source>
        <translation>autre</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>avertissement</translation>
    </message>
    <message>
        <source>error</source>
        <translation>erreur</translation>
    </message>
    <message>
        <source>none</source>
        <translation>néant</translation>
    </message>
    <message>
        <source>%1 h, %2</source>
        <translation>%1 h, %2</translation>
    </message>
    <message>
        <source>lit</source>
        <translation>allumée</translation>
    </message>
    <message>
        <source>off</source>
        <translation>éteinte</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1&#xa0;: %2</translation>
    </message>
    <message>
        <source>%1 h</source>
        <translation>%1 h</translation>
    </message>
    <message>
        <source>not known yet</source>
        <translation>encore inconnu</translation>
    </message>
    <message>
        <source>Power on</source>
        <translation>Allumer</translation>
    </message>
    <message>
        <source>Power off</source>
        <translation>Éteindre</translation>
    </message>
    <message>
        <source>Input %1</source>
        <translation>Entrée %1</translation>
    </message>
    <message>
        <source>Picture mute</source>
        <translation>Couper l’image</translation>
    </message>
    <message>
        <source>Sound mute</source>
        <translation>Couper le son</translation>
    </message>
    <message>
        <source>Picture and sound mute</source>
        <translation>Couper l’image et le son</translation>
    </message>
    <message>
        <source>Picture unmute</source>
        <translation>Rétablir l’image</translation>
    </message>
    <message>
        <source>Sound unmute</source>
        <translation>Rétablir le son</translation>
    </message>
    <message>
        <source>Picture and sound unmute</source>
        <translation>Rétablir l’image et le son</translation>
    </message>
    <message>
        <source>Freeze</source>
        <translation>Figer</translation>
    </message>
    <message>
        <source>Unfreeze</source>
        <translation>Libérer l’image</translation>
    </message>
    <message>
        <source>Volume up</source>
        <translation>Monter le volume</translation>
    </message>
    <message>
        <source>Volume down</source>
        <translation>Baisser le volume</translation>
    </message>
    <message>
        <source>unreadable</source>
        <translation>illisible</translation>
    </message>
</context>
<context>
    <name>PortStatus</name>
    <message>
        <source>no serial port chosen</source>
        <translation>aucun port série choisi</translation>
    </message>
    <message>
        <source>not present</source>
        <translation>absent</translation>
    </message>
    <message>
        <source>in use by another program</source>
        <translation>utilisé par un autre programme</translation>
    </message>
    <message>
        <source>permission denied. Your user must be in the &apos;dialout&apos; group</source>
        <translation>accès refusé. Votre utilisateur doit appartenir au groupe «&#xa0;dialout&#xa0;»</translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation>accès refusé</translation>
    </message>
    <message>
        <source>device lost</source>
        <translation>périphérique perdu</translation>
    </message>
    <message>
        <source>not a valid address: %1</source>
        <translation>adresse non valide&#xa0;: %1</translation>
    </message>
    <message>
        <source>connection refused</source>
        <translation>connexion refusée</translation>
    </message>
    <message>
        <source>host not found</source>
        <translation>hôte introuvable</translation>
    </message>
    <message>
        <source>timed out</source>
        <translation>délai dépassé</translation>
    </message>
    <message>
        <source>connection lost</source>
        <translation>connexion perdue</translation>
    </message>
    <message>
        <source>line settings refused</source>
        <translation>paramètres de ligne refusés</translation>
    </message>
    <message>
        <source>password rejected</source>
        <translation>mot de passe refusé</translation>
    </message>
    <message>
        <source>needs a password</source>
        <translation>mot de passe requis</translation>
    </message>
    <message>
        <source>not a PJLink projector</source>
        <translation>pas un projecteur PJLink</translation>
    </message>
    <message>
        <source>cannot be opened</source>
        <translation>ne peut pas être ouvert</translation>
    </message>
    <message>
        <source>cannot be opened (%1)</source>
        <translation>ne peut pas être ouvert (%1)</translation>
    </message>
    <message>
        <source>password rejected (%1)</source>
        <translation>mot de passe refusé (%1)</translation>
    </message>
    <message>
        <source>no greeting</source>
        <translation>pas de message d’accueil</translation>
    </message>
    <message>
        <source>MD5 and SHA-256 logins refused</source>
        <translation>connexions MD5 et SHA-256 refusées</translation>
    </message>
    <message>
        <source>SHA-256 and MD5 logins refused</source>
        <translation>connexions SHA-256 et MD5 refusées</translation>
    </message>
    <message>
        <source>MD5 login refused</source>
        <translation>connexion MD5 refusée</translation>
    </message>
    <message>
        <source>SHA-256 login refused</source>
        <translation>connexion SHA-256 refusée</translation>
    </message>
</context>
<context>
    <name>ProjectorSession</name>
    <message>
        <source>refused</source>
        <translation>refusé</translation>
    </message>
    <message>
        <source>no answer</source>
        <translation>pas de réponse</translation>
    </message>
</context>
<context>
    <name>ProjectorState</name>
    <message>
        <source>No contact</source>
        <translation>Pas de contact</translation>
    </message>
    <message>
        <source>Lamp off</source>
        <translation>Lampe éteinte</translation>
    </message>
    <message>
        <source>Lamp on</source>
        <translation>Lampe allumée</translation>
    </message>
    <message>
        <source>Cooling down</source>
        <translation>Refroidissement</translation>
    </message>
    <message>
        <source>Warming up</source>
        <translation>Préchauffage</translation>
    </message>
    <message>
        <source>Contact</source>
        <translation>Contact</translation>
    </message>
    <message>
        <source>fan</source>
        <translation>ventilateur</translation>
    </message>
    <message>
        <source>lamp</source>
        <translation>lampe</translation>
    </message>
    <message>
        <source>temperature</source>
        <translation>température</translation>
    </message>
    <message>
        <source>cover</source>
        <translation>capot</translation>
    </message>
    <message>
        <source>filter</source>
        <translation>filtre</translation>
    </message>
    <message>
        <source>other</source>
        <translation>autre</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>avertissement</translation>
    </message>
    <message>
        <source>error</source>
        <translation>erreur</translation>
    </message>
</context>
<context>
    <name>RoomsModel</name>
    <message>
        <source>%1: done</source>
        <translation>%1&#xa0;: fait</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1&#xa0;: %2</translation>
    </message>
    <message>
        <source>Health: %1</source>
        <translation>État de santé&#xa0;: %1</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nom</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>Groupe</translation>
    </message>
    <message>
        <source>Family</source>
        <translation>Famille</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <source>State</source>
        <translation>État</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Entrée</translation>
    </message>
    <message>
        <source>Lamp hours</source>
        <translation>Heures de lampe</translation>
    </message>
    <message>
        <source>Filter hours</source>
        <translation>Heures de filtre</translation>
    </message>
    <message>
        <source>Health</source>
        <translation>Santé</translation>
    </message>
    <message>
        <source>Last answer</source>
        <translation>Dernière réponse</translation>
    </message>
    <message>
        <source>%1 not sent: %2</source>
        <translation>%1 non envoyé&#xa0;: %2</translation>
    </message>
    <message>
        <source>On</source>
        <translation>Marche</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Arrêt</translation>
    </message>
    <message>
        <source>Other info: %1</source>
        <translation>Autres informations&#xa0;: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n projector(s) need attention</source>
        <translation>
            <numerusform>%n projecteur demande de l’attention</numerusform>
            <numerusform>%n projecteurs demandent de l’attention</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>RoomsWindow</name>
    <message>
        <source>Rooms — Vantrel</source>
        <translation>Salles — Vantrel</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>Filtre</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>Groupe</translation>
    </message>
    <message>
        <source>Poll every</source>
        <translation>Interroger toutes les</translation>
    </message>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Lamp life</source>
        <translation>Durée de vie de la lampe</translation>
    </message>
    <message>
        <source>A notice when a lamp has burned 90 % of these hours</source>
        <translation>Un avis quand une lampe a brûlé 90 % de ces heures</translation>
    </message>
    <message>
        <source>off</source>
        <translation>désactivé</translation>
    </message>
    <message>
        <source> h</source>
        <translation> h</translation>
    </message>
    <message>
        <source>On</source>
        <translation>Marche</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Arrêt</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Entrée</translation>
    </message>
    <message>
        <source>Picture mute</source>
        <translation>Couper l’image</translation>
    </message>
    <message>
        <source>Sound mute</source>
        <translation>Couper le son</translation>
    </message>
    <message>
        <source>Unmute</source>
        <translation>Rétablir l’image et le son</translation>
    </message>
    <message>
        <source>Export…</source>
        <translation>Exporter…</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1&#xa0;: %2</translation>
    </message>
    <message>
        <source>All groups</source>
        <translation>Tous les groupes</translation>
    </message>
    <message>
        <source>Input…</source>
        <translation>Entrée…</translation>
    </message>
    <message>
        <source>Export inventory</source>
        <translation>Exporter l’inventaire</translation>
    </message>
    <message>
        <source>CSV (*.csv);;JSON (*.json)</source>
        <translation>CSV (*.csv);;JSON (*.json)</translation>
    </message>
    <message>
        <source>The inventory could not be written to %1: %2</source>
        <translation>L’inventaire n’a pas pu être écrit dans %1&#xa0;: %2</translation>
    </message>
    <message numerus="yes">
        <source>Inventory of %n projector(s) written to %1</source>
        <translation>
            <numerusform>Inventaire de %n projecteur écrit dans %1</numerusform>
            <numerusform>Inventaire de %n projecteurs écrit dans %1</numerusform>
        </translation>
    </message>
    <message>
        <source>Projectors</source>
        <translation>Projecteurs</translation>
    </message>
    <message>
        <source>Not saved for the next start: %1</source>
        <translation>Non enregistré pour le prochain démarrage&#xa0;: %1</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>Settings not saved</source>
        <translation>Paramètres non enregistrés</translation>
    </message>
    <message>
        <source>%1 (not present)</source>
        <translation>%1 (absent)</translation>
    </message>
    <message>
        <source>%1.
Press Ok to try again, or Cancel.</source>
        <translation>%1.
OK pour réessayer, ou Annuler.</translation>
    </message>
    <message>
        <source>%1.
The choice applies to this session only.</source>
        <translation>%1.
Le choix ne vaut que pour cette session.</translation>
    </message>
</context>
<context>
    <name>SettingsClass</name>
    <message>
        <source>Settings</source>
        <translation>Paramètres</translation>
    </message>
    <message>
        <source>Model:</source>
        <translation>Modèle&#xa0;:</translation>
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
        <translation>Port&#xa0;:</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
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
        <translation>un nom de section sans son «&#xa0;]&#xa0;»</translation>
    </message>
    <message>
        <source>a quote (&quot;) that is not closed on its line</source>
        <translation>un guillemet (&quot;) qui n’est pas fermé sur sa ligne</translation>
    </message>
    <message>
        <source>a line that is neither &quot;[section]&quot; nor &quot;key=value&quot;</source>
        <translation>une ligne qui n’est ni «&#xa0;[section]&#xa0;» ni «&#xa0;clé=valeur&#xa0;»</translation>
    </message>
    <message>
        <source>%1: the file does not read as settings</source>
        <translation>%1&#xa0;: le fichier ne se lit pas comme des paramètres</translation>
    </message>
    <message>
        <source>%1; the settings file is left as it is until this is put right</source>
        <translation>%1&#xa0;; le fichier de paramètres reste tel quel tant que ce n’est pas corrigé</translation>
    </message>
    <message>
        <source>the settings could not be saved in %1</source>
        <translation>les paramètres n’ont pas pu être enregistrés dans %1</translation>
    </message>
    <message>
        <source>the lock %1 is a link; nothing is saved while it is there</source>
        <translation>le verrou %1 est un lien&#xa0;; rien n’est enregistré tant qu’il est là</translation>
    </message>
    <message>
        <source>the lock %1 cannot be opened: %2</source>
        <translation>le verrou %1 ne peut pas être ouvert&#xa0;: %2</translation>
    </message>
    <message>
        <source>the lock %1 is not a file of this user&apos;s; nothing is saved while it is there</source>
        <translation>le verrou %1 n’est pas un fichier de cet utilisateur&#xa0;; rien n’est enregistré tant qu’il est là</translation>
    </message>
    <message>
        <source>the lock %1 cannot be taken: %2</source>
        <translation>le verrou %1 ne peut pas être pris&#xa0;: %2</translation>
    </message>
    <message>
        <source>settings are being changed by another program (lock %1)</source>
        <translation>les paramètres sont en cours de modification par un autre programme (verrou %1)</translation>
    </message>
    <message>
        <source>the lock %1 cannot be made</source>
        <translation>le verrou %1 ne peut pas être créé</translation>
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
        <translation>Le choix de %1 n’a pas pu être enregistré dans %2&#xa0;; il ne vaut que pour cette session.
</translation>
    </message>
    <message>
        <source>About</source>
        <translation>À propos</translation>
    </message>
    <message>
        <source>Vantrel

Serial RS-232 Remote Control

Written by the Vantrel developers

This program is available for Windows And Linux

https://vantrel.example.org</source>
        <translation>Vantrel

Télécommande série RS-232

Écrit par les développeurs de Vantrel

Ce programme est disponible pour Windows et Linux

https://vantrel.example.org</translation>
    </message>
    <message>
        <source>Projector is on!</source>
        <translation>Le projecteur est allumé&#xa0;!</translation>
    </message>
    <message>
        <source>The projectorn is On.
Do you want to turn it off?</source>
        <translation>Le projecteur est allumé.
Voulez-vous l’éteindre&#xa0;?</translation>
    </message>
    <message>
        <source>Projector not switched off</source>
        <translation>Projecteur non éteint</translation>
    </message>
    <message>
        <source>Vantrel could not switch the projector off: the serial port is not open (%1).

Switch it off at the projector or with its remote control.</source>
        <translation>Vantrel n’a pas pu éteindre le projecteur&#xa0;: le port série n’est pas ouvert (%1).

Éteignez-le sur le projecteur ou avec sa télécommande.</translation>
    </message>
    <message>
        <source>Command not available at the moment.
</source>
        <translation>Commande indisponible pour le moment.
</translation>
    </message>
    <message>
        <source>Turn off</source>
        <translation>Éteindre</translation>
    </message>
    <message>
        <source>Turn the projector off?</source>
        <translation>Éteindre le projecteur&#xa0;?</translation>
    </message>
    <message>
        <source>Save log</source>
        <translation>Enregistrer le journal</translation>
    </message>
    <message>
        <source>Text files (*.txt *.log);;All files (*)</source>
        <translation>Fichiers texte (*.txt *.log);;Tous les fichiers (*)</translation>
    </message>
    <message>
        <source>Log not saved</source>
        <translation>Journal non enregistré</translation>
    </message>
    <message>
        <source>The log could not be saved in %1:
%2</source>
        <translation>Le journal n’a pas pu être enregistré dans %1&#xa0;:
%2</translation>
    </message>
    <message>
        <source>Dropped %1 bytes of input that came faster than a projector sends.
</source>
        <translation>%1 octets ignorés, arrivés plus vite qu’un projecteur n’en envoie.
</translation>
    </message>
    <message>
        <source>Contact</source>
        <translation>Contact</translation>
    </message>
    <message>
        <source>In contact with the projector</source>
        <translation>En contact avec le projecteur</translation>
    </message>
    <message>
        <source>No Contact</source>
        <translation>Pas de contact</translation>
    </message>
    <message>
        <source>No contact with the projector</source>
        <translation>Pas de contact avec le projecteur</translation>
    </message>
    <message>
        <source>Opening port </source>
        <translation>Ouverture du port </translation>
    </message>
    <message>
        <source>Serial port successfully opened!
</source>
        <translation>Port série ouvert avec succès&#xa0;!
</translation>
    </message>
    <message>
        <source>Failed to set serial port speed!
</source>
        <translation>Impossible de régler la vitesse du port série&#xa0;!
</translation>
    </message>
    <message>
        <source>Failed to initialize serial port!
</source>
        <translation>Impossible d’initialiser le port série&#xa0;!
</translation>
    </message>
    <message>
        <source>Communication with projector not possible.
</source>
        <translation>Communication avec le projecteur impossible.
</translation>
    </message>
    <message>
        <source>Connected to %1 (%2)</source>
        <translation>Connecté à %1 (%2)</translation>
    </message>
    <message>
        <source>Connected to %1 (%2, %3 baud)</source>
        <translation>Connecté à %1 (%2, %3 bauds)</translation>
    </message>
    <message>
        <source>No projector address given: enter one in File &gt; Settings</source>
        <translation>Aucune adresse de projecteur&#xa0;: saisissez-en une dans Fichier &gt; Paramètres</translation>
    </message>
    <message>
        <source>No serial port chosen: choose one in File &gt; Settings</source>
        <translation>Aucun port série choisi&#xa0;: choisissez-en un dans Fichier &gt; Paramètres</translation>
    </message>
    <message>
        <source>%1: not present, waiting for it</source>
        <translation>%1&#xa0;: absent, en attente</translation>
    </message>
    <message>
        <source>%1: device lost, waiting for it to return</source>
        <translation>%1&#xa0;: périphérique perdu, en attente de son retour</translation>
    </message>
    <message>
        <source>Error!</source>
        <translation>Erreur&#xa0;!</translation>
    </message>
    <message>
        <source>Lost serial port %1: the device has gone away.
</source>
        <translation>Port série %1 perdu&#xa0;: le périphérique a disparu.
</translation>
    </message>
    <message>
        <source>%1 was changed in the settings file.
</source>
        <translation>%1 a été modifié dans le fichier de paramètres.
</translation>
    </message>
    <message>
        <source>%1 was removed from the settings file; %2 takes its place.
</source>
        <translation>%1 a été retiré du fichier de paramètres&#xa0;; %2 prend sa place.
</translation>
    </message>
    <message>
        <source>Connected to %1
</source>
        <translation>Connecté à %1
</translation>
    </message>
    <message>
        <source>%1. The settings file is left as it is until it is put right by hand.</source>
        <translation>%1. Le fichier de paramètres reste tel quel tant qu’il n’est pas corrigé à la main.</translation>
    </message>
    <message>
        <source>No projectors: add one in Projectors…</source>
        <translation>Aucun projecteur&#xa0;: ajoutez-en un dans Projecteurs…</translation>
    </message>
</context>
<context>
    <name>VantrelClass</name>
    <message>
        <source>On/Off</source>
        <translation>Marche/Arrêt</translation>
    </message>
    <message>
        <source>Power On</source>
        <translation>Allumer</translation>
    </message>
    <message>
        <source>Power Off</source>
        <translation>Éteindre</translation>
    </message>
    <message>
        <source>Video Source</source>
        <translation>Source vidéo</translation>
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
        <translation>S-Vidéo</translation>
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
        <translation>Recherche/Auto</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Modèle</translation>
    </message>
    <message>
        <source>Image</source>
        <translation>Image</translation>
    </message>
    <message>
        <source>Brightness</source>
        <translation>Luminosité</translation>
    </message>
    <message>
        <source>Contrast</source>
        <translation>Contraste</translation>
    </message>
    <message>
        <source>Color</source>
        <translation>Couleur</translation>
    </message>
    <message>
        <source>Color Temperature</source>
        <translation>Temp. de couleur</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>Freeze</source>
        <translation>Figer</translation>
    </message>
    <message>
        <source>Show/Hide</source>
        <translation>Afficher/Masquer</translation>
    </message>
    <message>
        <source>Projector Info</source>
        <translation>Infos projecteur</translation>
    </message>
    <message>
        <source>Lamp Time</source>
        <translation>Heures de lampe</translation>
    </message>
    <message>
        <source>Resolution</source>
        <translation>Résolution</translation>
    </message>
    <message>
        <source>Company</source>
        <translation>Fabricant</translation>
    </message>
    <message>
        <source>Keystone</source>
        <translation>Trapèze</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Haut</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Bas</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Gauche</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Droite</translation>
    </message>
    <message>
        <source>e-Key</source>
        <translation>e-Key</translation>
    </message>
    <message>
        <source>Image Format</source>
        <translation>Format d’image</translation>
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
        <translation>Marche/Arrêt</translation>
    </message>
    <message>
        <source> On</source>
        <translation> Marche</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Arrêt</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Afficher</translation>
    </message>
    <message>
        <source>Hide/Blank</source>
        <translation>Masquer</translation>
    </message>
    <message>
        <source>Aspect</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Key Stone</source>
        <translation>Trapèze</translation>
    </message>
    <message>
        <source>Keystone up</source>
        <translation>Trapèze haut</translation>
    </message>
    <message>
        <source>Keystone down</source>
        <translation>Trapèze bas</translation>
    </message>
    <message>
        <source>Lamp Mode</source>
        <translation>Mode de lampe</translation>
    </message>
    <message>
        <source>Eco</source>
        <translation>Éco</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Dynamic Eco</source>
        <translation>Éco dynamique</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>Micrologiciel</translation>
    </message>
    <message>
        <source>Color Temp</source>
        <translation>Temp. couleur</translation>
    </message>
    <message>
        <source>Warm</source>
        <translation>Chaud</translation>
    </message>
    <message>
        <source>Cold</source>
        <translation>Froid</translation>
    </message>
    <message>
        <source>Projection Mode</source>
        <translation>Mode de projection</translation>
    </message>
    <message>
        <source>Front</source>
        <translation>Avant</translation>
    </message>
    <message>
        <source>Rear</source>
        <translation>Arrière</translation>
    </message>
    <message>
        <source>Ceiling</source>
        <translation>Plafond</translation>
    </message>
    <message>
        <source>Rear + Ceiling</source>
        <translation>Arrière + plafond</translation>
    </message>
    <message>
        <source>RGB 1</source>
        <translation>RVB 1</translation>
    </message>
    <message>
        <source>RGB 2</source>
        <translation>RVB 2</translation>
    </message>
    <message>
        <source>Video</source>
        <translation>Vidéo</translation>
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
        <translation>Composantes</translation>
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
        <translation>Utilisateur</translation>
    </message>
    <message>
        <source>Capture</source>
        <translation>Capturer</translation>
    </message>
    <message>
        <source>Display Mode</source>
        <translation>Mode d’affichage</translation>
    </message>
    <message>
        <source>Presentation</source>
        <translation>Présentation</translation>
    </message>
    <message>
        <source>Bright</source>
        <translation>Lumineux</translation>
    </message>
    <message>
        <source>Game</source>
        <translation>Jeu</translation>
    </message>
    <message>
        <source>Movie</source>
        <translation>Cinéma</translation>
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
        <translation>Tableau noir</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Entrée</translation>
    </message>
    <message>
        <source>The inputs the projector offers</source>
        <translation>Les entrées que propose le projecteur</translation>
    </message>
    <message>
        <source>Picture</source>
        <translation>Image</translation>
    </message>
    <message>
        <source>Picture mute</source>
        <translation>Couper l’image</translation>
    </message>
    <message>
        <source>Sound mute</source>
        <translation>Couper le son</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>Volume +</source>
        <translation>Volume +</translation>
    </message>
    <message>
        <source>Volume −</source>
        <translation>Volume −</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Nom&#xa0;:</translation>
    </message>
    <message>
        <source>Make:</source>
        <translation>Fabricant&#xa0;:</translation>
    </message>
    <message>
        <source>Class:</source>
        <translation>Classe&#xa0;:</translation>
    </message>
    <message>
        <source>Lamps:</source>
        <translation>Lampes&#xa0;:</translation>
    </message>
    <message>
        <source>Filter:</source>
        <translation>Filtre&#xa0;:</translation>
    </message>
    <message>
        <source>Health</source>
        <translation>État</translation>
    </message>
    <message>
        <source>Fan health</source>
        <translation>État du ventilateur</translation>
    </message>
    <message>
        <source>Fan</source>
        <translation>Ventilateur</translation>
    </message>
    <message>
        <source>Lamp health</source>
        <translation>État de la lampe</translation>
    </message>
    <message>
        <source>Lamp</source>
        <translation>Lampe</translation>
    </message>
    <message>
        <source>Temperature health</source>
        <translation>État de la température</translation>
    </message>
    <message>
        <source>Temp.</source>
        <translation>Temp.</translation>
    </message>
    <message>
        <source>Cover health</source>
        <translation>État du capot</translation>
    </message>
    <message>
        <source>Cover</source>
        <translation>Capot</translation>
    </message>
    <message>
        <source>Filter health</source>
        <translation>État du filtre</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>Filtre</translation>
    </message>
    <message>
        <source>Other health</source>
        <translation>Autres états</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>Autre</translation>
    </message>
    <message>
        <source>Info View</source>
        <translation>Vue infos</translation>
    </message>
    <message>
        <source>Opens the settings</source>
        <translation>Ouvre les paramètres</translation>
    </message>
    <message>
        <source>No contact with the projector</source>
        <translation>Pas de contact avec le projecteur</translation>
    </message>
    <message>
        <source>Debug</source>
        <translation>Débogage</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Effacer</translation>
    </message>
    <message>
        <source>Traffic log</source>
        <translation>Journal des échanges</translation>
    </message>
    <message>
        <source>Ascii</source>
        <translation>ASCII</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Aide</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Fichier</translation>
    </message>
    <message>
        <source>Projector</source>
        <translation>Projecteur</translation>
    </message>
    <message>
        <source>Inställningar...</source>
        <translation>Paramètres...</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>About</source>
        <translation>À propos</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Paramètres</translation>
    </message>
    <message>
        <source>Save log…</source>
        <translation>Enregistrer le journal…</translation>
    </message>
    <message>
        <source>Keystone menu</source>
        <translation>Menu trapèze</translation>
    </message>
    <message>
        <source>Reconnect by itself</source>
        <translation>Se reconnecter tout seul</translation>
    </message>
    <message>
        <source>Rooms…</source>
        <translation>Salles…</translation>
    </message>
    <message>
        <source>Ctrl+R</source>
        <translation>Ctrl+R</translation>
    </message>
    <message>
        <source>Projectors…</source>
        <translation>Projecteurs…</translation>
    </message>
    <message>
        <source>Other info:</source>
        <translation>Autres informations&#xa0;:</translation>
    </message>
</context>
</TS>
