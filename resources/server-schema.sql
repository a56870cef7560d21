-- The workshop archive shared on a PostgreSQL server (15 or later), schema version 1.
--
-- Every PC keeps its own archive and sends its read-outs here; the other PCs fetch them from
-- here. Run this file once, as the owner of a UTF8 database (or a superuser), e.g.
--     psql -d orvel -f /usr/share/orvel/server-schema.sql
-- The program runs this same file itself when its role may create tables; running it again is
-- harmless. Run as a role that may create roles, it also creates the group role orvel_pc, which
-- may read the archive, add read-outs and change notes, and nothing else: no delete, no change
-- of a read-out. Each PC logs in as a role of its own in that group:
--     CREATE ROLE bay1 LOGIN IN ROLE orvel_pc;
--
-- readouts: one row per read-out, the same on every PC.
--   uuid          the read-out's identity, given by the PC that took it
--   taken_at      when it was taken
--   source        read (an F5 read-out), import (a settings file), write (read back after a
--                 write), or a kind a later program adds
--   block         the controller's 37-byte settings block
--   car_line1/2   the two car lines of the user data
--   site          the PC or site that took it
--   note          the fitter's note; the one changed last wins (note_changed, then the text)
--   rev           the order in which rows and note changes arrived; a PC fetches what came
--                 after the last rev it has seen

BEGIN;

-- One writer at a time while the schema is made, and while rows arrive (see readouts_stamp).
SELECT pg_advisory_xact_lock(7265766);

DO $$
DECLARE
  found integer;
BEGIN
  IF (SELECT pg_encoding_to_char(encoding) FROM pg_database
      WHERE datname = current_database()) <> 'UTF8' THEN
    RAISE EXCEPTION 'the workshop archive needs a database in UTF8';
  END IF;
  IF to_regclass('archive_schema') IS NOT NULL THEN
    EXECUTE 'SELECT max(version) FROM archive_schema' INTO found;
    IF found > 1 THEN
      RAISE EXCEPTION 'the archive on this server has schema version %, newer than this file', found;
    END IF;
  END IF;
END $$;

CREATE TABLE IF NOT EXISTS archive_schema (
  version integer NOT NULL,
  server_id uuid NOT NULL DEFAULT gen_random_uuid()
);
INSERT INTO archive_schema (version) SELECT 1 WHERE NOT EXISTS (SELECT FROM archive_schema);

CREATE SEQUENCE IF NOT EXISTS readouts_rev;

CREATE TABLE IF NOT EXISTS readouts (
  uuid uuid PRIMARY KEY,
  taken_at timestamptz NOT NULL,
  source text NOT NULL CHECK (source ~ '^[a-z][a-z-]{0,31}$'),
  block bytea NOT NULL CHECK (length(block) = 37),
  car_line1 text NOT NULL,
  car_line2 text NOT NULL,
  site text NOT NULL CHECK (site <> ''),
  note text COLLATE "C" NOT NULL DEFAULT '',
  note_changed timestamptz NOT NULL DEFAULT '-infinity',
  rev bigint NOT NULL UNIQUE
);
CREATE INDEX IF NOT EXISTS readouts_by_time ON readouts (taken_at);

-- Every row and every note change takes the next rev under one lock held to the end of its
-- transaction: revs become visible in the order they are given, so a PC that has seen rev n has
-- seen every rev below it. A read-out itself is never changed, and a note only by a later one.
CREATE OR REPLACE FUNCTION readouts_stamp() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF TG_OP = 'UPDATE' THEN
    IF (NEW.uuid, NEW.taken_at, NEW.source, NEW.block, NEW.car_line1, NEW.car_line2, NEW.site)
       IS DISTINCT FROM
       (OLD.uuid, OLD.taken_at, OLD.source, OLD.block, OLD.car_line1, OLD.car_line2, OLD.site)
    THEN
      RAISE EXCEPTION 'a read-out is never changed, only its note'
        USING ERRCODE = 'insufficient_privilege';
    END IF;
    IF (NEW.note_changed, NEW.note) <= (OLD.note_changed, OLD.note) THEN
      RETURN NULL;
    END IF;
  END IF;
  PERFORM pg_advisory_xact_lock(7265766);
  NEW.rev := nextval('readouts_rev');
  RETURN NEW;
END $$;
CREATE OR REPLACE TRIGGER readouts_stamp BEFORE INSERT OR UPDATE ON readouts
  FOR EACH ROW EXECUTE FUNCTION readouts_stamp();

-- The PCs listening are told at once that something arrived.
CREATE OR REPLACE FUNCTION readouts_arrived() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  PERFORM pg_notify('orvel_archive', '');
  RETURN NULL;
END $$;
CREATE OR REPLACE TRIGGER readouts_arrived AFTER INSERT OR UPDATE ON readouts
  FOR EACH STATEMENT EXECUTE FUNCTION readouts_arrived();

DO $$
BEGIN
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'orvel_pc') THEN
    CREATE ROLE orvel_pc NOLOGIN;
  END IF;
EXCEPTION WHEN insufficient_privilege THEN
  RAISE NOTICE 'role orvel_pc not created: this role may not create roles';
END $$;

DO $$
BEGIN
  IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'orvel_pc') THEN
    REVOKE ALL ON archive_schema, readouts FROM orvel_pc;
    REVOKE ALL ON SEQUENCE readouts_rev FROM orvel_pc;
    GRANT SELECT ON archive_schema TO orvel_pc;
    GRANT SELECT, INSERT ON readouts TO orvel_pc;
    GRANT UPDATE (note, note_changed) ON readouts TO orvel_pc;
    GRANT USAGE ON SEQUENCE readouts_rev TO orvel_pc;
  END IF;
END $$;

COMMIT;
