-- A database as the previous version of vardometer-cli init wrote it (schema 0: the six
-- original tables, no Credentials table, no version stamp), with a few rows of use.
CREATE TABLE IF NOT EXISTS "Systems" ("System" TEXT COLLATE NOCASE, "DateLastAnalysed" REAL, "LastFree%" REAL, "LastUsed%" REAL, "LastFreeMB" REAL, "LastUsedMB" REAL, "LastTotalMB" REAL, "Owner" TEXT COLLATE NOCASE, "UserName" TEXT COLLATE NOCASE, "Address" TEXT COLLATE NOCASE, "SystemType" TEXT COLLATE NOCASE, "Alert1MB" REAL, "Password" TEXT COLLATE NOCASE, "AlertOwner" INTEGER, "AssetNo" TEXT COLLATE NOCASE, "PurchaseDate" REAL, "Supplier" TEXT COLLATE NOCASE, "Cost" REAL, "Alert2MB" REAL, "AvgDailyMB" REAL, "ZeroDate1" REAL, "ZeroDate2" REAL, "CumUsedMB" REAL, "InitialDate" REAL, "TimeLastAnalysed" REAL, "PageID" INTEGER);
INSERT INTO Systems VALUES('FS1',NULL,48.829999999999998292,51.170000000000001707,10000.0,10480.0,20480.0,'Ops',NULL,'/srv/fs1',NULL,500.0,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,1700.0,39142.0,NULL,NULL);
INSERT INTO Systems VALUES('FS2',NULL,0.0,0.0,0.0,0.0,0.0,NULL,NULL,'/srv/fs2',NULL,500.0,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL);
CREATE TABLE IF NOT EXISTS "FreeSpaceHistory" ("System" TEXT COLLATE NOCASE, "Date" REAL, "Time" REAL, "FreeMB" REAL, "UsedMB" REAL, "TotalMB" REAL, "Free%" REAL, "Used%" REAL, "AvgDailyMB" REAL, "CumUsedMB" REAL);
INSERT INTO FreeSpaceHistory VALUES('FS1',39152.0,0.39579999999999998516,10000.0,10480.0,20480.0,48.829999999999998292,51.170000000000001707,170.0,1700.0);
CREATE TABLE IF NOT EXISTS "Alerts" ("EMailAddress" TEXT COLLATE NOCASE);
INSERT INTO Alerts VALUES('ops@example.com');
CREATE TABLE IF NOT EXISTS "Options" ("Key" INTEGER, "CompanyName" TEXT COLLATE NOCASE, "DefaultAlertList" TEXT COLLATE NOCASE, "DefaultAlertMB" INTEGER, "EMailFrom" TEXT COLLATE NOCASE, "EMailSubject" TEXT COLLATE NOCASE, "TimerToLoadEnabled" INTEGER, "TimeToLoadFreeSpace" REAL, "TimerForCheckEnabled" INTEGER, "TimeIntervalForCheck" INTEGER, "TimerToLoadFilesEnabled" INTEGER, "TimeToLoadFiles" REAL, "EMailToUsersHeader" TEXT COLLATE NOCASE, "EMailToUsersFooter" TEXT COLLATE NOCASE, "EMailToUsersMBLimit" INTEGER, "DefaultAlertPC" INTEGER, "PopupAlerts" INTEGER, "NovellPurgeAsFree" INTEGER, "EMailAlerts" INTEGER, "EMailHost" TEXT COLLATE NOCASE, "EMailUsername" TEXT COLLATE NOCASE, "EMailPassword" TEXT COLLATE NOCASE, "EMailAuth" INTEGER, "ServiceInUse" INTEGER);
INSERT INTO Options VALUES(1,'Company Name','',500,'','',0,0.083333333333333328707,0,60,0,0.0,'','',0,0,0,0,0,'','','',0,0);
CREATE TABLE IF NOT EXISTS "SystemPages" ("System" TEXT COLLATE NOCASE, "Page" TEXT COLLATE NOCASE);
CREATE TABLE IF NOT EXISTS "Pages" ("Page" TEXT COLLATE NOCASE, "Caption" TEXT COLLATE NOCASE);
CREATE INDEX FreeSpaceHistoryBySystem ON FreeSpaceHistory (System, Date, Time);
CREATE INDEX SystemsBySystem ON Systems (System);
